#include "engine/pipeline/engine_run.h"

#include <new>

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
    try {
        settings_ = std::make_unique<FilterSettings>();
    } catch (const std::bad_alloc&) {
        Fail("Memory allocation error");
        return false;
    }
    settings_->IniPath = iniPath;
    ReadFilterSettings(*settings_);
    return true;
}

}  // namespace vestrel
