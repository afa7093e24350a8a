#include "app/settings_command.h"

#include <ostream>

#include "platform/program_dir.h"
#include "service/config/settings.h"

namespace plexivar {

int RunPrintSettings(std::ostream& out, std::ostream& err) {
    const std::string dir = platform::CurrentDirectory();
    if (dir.empty()) {
        err << "plexivar: cannot determine the current directory\n";
        return 1;
    }
    Settings settings;
    for (const std::string& warning : LoadSettings(SettingsFilePath(dir), dir, settings))
        err << warning << "\n";
    out << SettingsAsIniText(settings);
    return 0;
}

}  // namespace plexivar
