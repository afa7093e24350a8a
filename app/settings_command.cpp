#include "app/settings_command.h"

#include <ostream>

#include "app/current_settings.h"
#include "service/config/settings.h"

namespace plexivar {

int RunPrintSettings(std::ostream& out, std::ostream& err) {
    Settings settings;
    if (LoadCurrentSettings(settings, err).empty()) return 1;
    out << SettingsAsIniText(settings);
    return 0;
}

}  // namespace plexivar
