#include "app/ping_command.h"

#include <ostream>

#include "platform/c_locale.h"
#include "platform/file_ops.h"
#include "app/current_settings.h"
#include "service/config/settings.h"
#include "service/folder_check.h"

namespace plexivar {

int RunPingCommand(const std::string& folder, std::ostream& out, std::ostream& err) {
    if (folder.empty()) {
        err << "plexivar: --ping needs a folder\n";
        return 2;
    }
    Settings& settings = GlobalSettings();
    const std::string dir = LoadCurrentSettings(settings, err);
    // A UNC-like path stays as written; other relative folders are taken from here.
    const bool unc = folder.rfind("//", 0) == 0 || folder.rfind("\\\\", 0) == 0;
    const std::string path = (unc || dir.empty()) ? folder : platform::ResolvePath(dir, folder);
    const bool bypass = settings.service.BypassPingTest == 1;

    FolderCheckReport report;
    const bool reachable = CheckFolder(path, bypass, &report);

    out << "Folder: " << path << "\n";
    if (bypass) {
        out << "Echo: not sent (BypassPingTest is 1)\n";
    } else if (report.host.host.empty()) {
        out << "Host: none (local folder)\n";
    } else {
        out << "Host: " << report.host.host << " (" << report.host.origin << ")\n";
        if (report.pingSucceeded) {
            out << "Echo: reply from " << report.pingAddress << " in "
                << platform::Format("%.3f", report.roundTripMs) << " ms"
                << (report.datagramSocket ? " (ICMP datagram socket)" : "") << "\n";
        } else {
            out << "Echo: failed - " << report.error << "\n";
        }
    }
    if (reachable) {
        out << "Reachable: yes\n";
        return 0;
    }
    out << "Reachable: no";
    if (report.folderTested)
        out << " - folder cannot be entered: " << report.error;
    out << "\n";
    return 1;
}

}  // namespace plexivar
