#include "ui/spooler_checks.h"

#include "platform/text.h"

namespace plexivar::ui {
namespace {
constexpr int kDetectFromFileName = 1;
}

int FindSpooler(const std::vector<SpoolerSettings>& listed, const std::string& folder) {
    for (std::size_t i = 0; i < listed.size(); ++i)
        if (platform::EqualsIgnoreCase(listed[i].InputFolder, folder)) return static_cast<int>(i);
    return -1;
}

std::string CheckSpooler(const SpoolerSettings& spooler, const std::vector<SpoolerSettings>& listed,
                         bool checkDuplicate) {
    if (spooler.InputFolder.empty()) return "Input folder name required";
    if (checkDuplicate && FindSpooler(listed, spooler.InputFolder) >= 0)
        return "Input folder already exists" + spooler.InputFolder;
    if (spooler.OutputFolder.empty()) return "Output folder name required";
    if (spooler.MakeArchive != 0 && spooler.ArchiveFolder.empty()) return "Output copy name required";
    if (spooler.ColorDetection == kDetectFromFileName && spooler.InputName.empty())
        return "Naming convention required for color detection" + spooler.InputFolder;
    return {};
}

}  // namespace plexivar::ui
