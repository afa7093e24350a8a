// What every filtering run of the engine (resampling, dot gain) holds, and the promise that
// all of it is given back when the run ends, on success and on failure alike: the filter's
// tables and error rows, the current filter settings, the input, the working file's handle,
// and, after a failure, the read buffer and the working file itself.
#pragma once

#include <memory>
#include <string>

#include "engine/filter/filter_settings.h"
#include "engine/io/unique_tiff.h"

namespace vestrel {

class EngineRun {
public:
    EngineRun(const EngineRun&) = delete;
    EngineRun& operator=(const EngineRun&) = delete;

    // The message for the caller's errorText ("" when there is none).
    const std::string& error() const { return error_; }

protected:
    // `releaseTables` frees the tables of the filter the run uses.
    explicit EngineRun(void (*releaseTables)()) : releaseTables_(releaseTables) {}
    ~EngineRun();

    // Records a failure: the message, and that the run must clean up as a failed one.
    int Fail(std::string message) {
        error_ = std::move(message);
        failed_ = true;
        return 0;
    }
    // From here on a failure releases the read buffer and deletes the working file. Creates
    // the run's filter settings with the ini keys read; false (failed) when memory is short.
    bool BeginFiltering(const std::string& iniPath);

    // `message` (a text the engine is specified to give, kept as it stands so that callers
    // matching it keep working) followed by the reason the filter failed, when known:
    // " - " and why the source reader failed (a read error names the input row), else why
    // the filter itself failed.
    static std::string WithFilterReason(std::string message);

    std::string error_;
    bool failed_ = false;
    std::string workPath_;  // deleted when the run fails
    UniqueTiff output_;
    std::unique_ptr<FilterSettings> settings_;

private:
    void (*releaseTables_)();
};

}  // namespace vestrel
