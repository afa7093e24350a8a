#include "app/command_line.h"

#include <ostream>

#include "app/db_check_command.h"
#include "app/detect_command.h"
#include "app/headless_command.h"
#include "app/ping_command.h"
#include "app/settings_command.h"
#include "app/window_command.h"
#include "platform/c_locale.h"

namespace plexivar {

std::string UsageText() {
    return "Usage: plexivar [OPTION]\n"
           "Plate-file spooler: watches hot folders of 1-bit TIFF separations and delivers\n"
           "them, resampled per colour where configured. Without an option it opens the\n"
           "operator window.\n"
           "\n"
           "Options:\n"
           "  --headless          run the service without a window (as under systemd): the\n"
           "                      spoolers start at once; SIGINT or SIGTERM stop them in order\n"
           "  --headless --verbose  also print the poll wait and job progress\n"
           "  --help              show this text and exit\n"
           "  --version           show the version and exit\n"
           "  --print-settings    print every setting in effect (from plexivar.ini in the\n"
           "                      current directory, with defaults) as ini text; changes nothing\n"
           "  --detect N FILE     run the colour detection of spooler N on FILE as a job would\n"
           "                      and print colour, zone, corrections and FlatSeparation\n"
           "                      (a dry run: no information file is created or deleted)\n"
           "  --ping FOLDER       check whether FOLDER is reachable; for a network folder\n"
           "                      show its server and the echo round-trip time\n"
           "  --db-check          connect to the production database with DSN, DSNuser and\n"
           "                      DSNpw, list the locations and probe table Log; changes\n"
           "                      nothing in the database\n";
}

int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) return RunWindow(err);
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
    if (command == "--headless") {
        HeadlessOptions options;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] != "--verbose") {
                err << "plexivar: --headless: unknown option '" << args[i] << "'\n";
                return 2;
            }
            options.verbose = true;
        }
        return RunHeadless(options);
    }
    if (command == "--detect") {
        if (args.size() != 3) {
            err << "plexivar: --detect wants a spooler number and a file\n";
            return 2;
        }
        double n = 0;
        if (!platform::ParseRealStrict(args[1], n) || n < -1e6 || n > 1e6 ||
            n != static_cast<int>(n)) {
            err << "plexivar: --detect: '" << args[1] << "' is not a spooler number\n";
            return 2;
        }
        return RunDetectCommand(static_cast<int>(n), args[2], out, err);
    }
    if (command == "--db-check") {
        if (args.size() != 1) {
            err << "plexivar: --db-check takes no arguments\n";
            return 2;
        }
        return RunDbCheckCommand(out, err);
    }
    if (command == "--ping") {
        if (args.size() != 2) {
            err << "plexivar: --ping wants a folder\n";
            return 2;
        }
        return RunPingCommand(args[1], out, err);
    }
    err << "plexivar: unknown option '" << command << "'\n" << UsageText();
    return 2;
}

}  // namespace plexivar
