#include "engine/pipeline/engine_run.h"

#include <new>

#include "engine/filter/filter_log.h"
#include "engine/filter/filter_state.h"
#include "engine/io/source_reader.h"
#include "platform/file_ops.h"

namespace vestrel {

EngineRun::~EngineRun() {
    releaseTables_();
    ReleaseErrorRows();
    ClearCurrentFilterSettings();
    FinishSourceReader();
    output_.reset();
    ActiveSourceReader().margins.Clear();
    if (failed_) {
        // A failed run gives its memory back and leaves no working file behind.
        ActiveSourceReader().readBuffer.Release();
        if (!workPath_.empty()) plexivar::platform::DeleteFile(workPath_);
    }
}

bool EngineRun::BeginFiltering(const std::string& iniPath) {
    failed_ = true;
    TakeFilterError();  // a reason left by an earlier run is not this run's
    try {
        settings_ = std::make_unique<FilterSettings>();
    } catch (const std::bad_alloc&) {
        Fail("Memory allocation error - filter settings");
        return false;
    }
    settings_->IniPath = iniPath;
    ReadFilterSettings(*settings_);
    return true;
}

std::string EngineRun::WithFilterReason(std::string message) {
    std::string why = ActiveSourceReader().error;
    const std::string filterWhy = TakeFilterError();
    if (why.empty())
        why = filterWhy;
    if (!why.empty())
        message += " - " + why;
    return message;
}

}  // namespace vestrel
