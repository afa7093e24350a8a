#include "service/process_guards.h"

#include "platform/c_locale.h"
#include "platform/file_ops.h"
#include "platform/ini_file.h"
#include "platform/processor_check.h"
#include "service/config/settings.h"

namespace plexivar {

bool ProcessGuards::Acquire(const std::string& programDir, std::string& message) {
    if (!platform::ProcessorSupportsEngine()) {
        message = kProcessorMessage;
        return false;
    }
    const platform::IniFile ini = platform::IniFile::Load(SettingsFilePath(programDir));
    const bool allowMultiple =
        platform::ParseInt(ini.Get("Setup", "AllowMultipleInstances", "0")) != 0;
    platform::CreateDirectory(platform::JoinPath(programDir, "temp"));
    if (!allowMultiple) {
        bool heldElsewhere = false;
        std::string why;
        if (!instance_.Acquire(
                platform::JoinPath(platform::RuntimeDirectory(), kInstanceLockName),
                &heldElsewhere, &why)) {
            message = kAnotherInstanceMessage;
            return false;
        }
    }
    // A marker that cannot be written does not stop the service: it only tells others.
    marker_.CreateMarker(platform::JoinPath(programDir, "Running"), "Running", 10);
    return true;
}

}  // namespace plexivar
