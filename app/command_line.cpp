#include "app/command_line.h"

#include <ostream>

#include "app/settings_command.h"

namespace plexivar {

std::string UsageText() {
    return "Usage: plexivar [OPTION]\n"
           "Plate-file spooler: watches hot folders of 1-bit TIFF separations and delivers\n"
           "them, resampled per colour where configured.\n"
           "\n"
           "Options:\n"
           "  --help              show this text and exit\n"
           "  --version           show the version and exit\n"
           "  --print-settings    print every setting in effect (from plexivar.ini in the\n"
           "                      current directory, with defaults) as ini text; changes nothing\n";
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << "plexivar: the service is not available in this build yet; see --help\n";
        return 2;
    }
    const std::string& command = args.front();
    if (command == "--help" || command == "-h") {
        out << UsageText();
        return 0;
    }
    if (command == "--version") {
        out << "Plexivar version " << PLEXIVAR_VERSION << "\n";
        return 0;
    }
    if (command == "--print-settings") return RunPrintSettings(out, err);
    err << "plexivar: unknown option '" << command << "'\n" << UsageText();
    return 2;
}

}  // namespace plexivar
