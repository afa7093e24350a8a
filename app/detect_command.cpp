#include "app/detect_command.h"

#include <algorithm>
#include <ostream>

#include "platform/c_locale.h"
#include "platform/file_ops.h"
#include "app/current_settings.h"
#include "service/config/settings.h"
#include "service/info_file.h"
#include "service/separation.h"

namespace plexivar {

int RunDetectCommand(int spooler, const std::string& file, std::ostream& out, std::ostream& err) {
    Settings& settings = GlobalSettings();
    const std::string dir = LoadCurrentSettings(settings, err);
    if (dir.empty()) return 1;

    const int configured = std::clamp(settings.service.NumberOfSpoolers, 0, MaxSpoolers);
    if (spooler < 1 || spooler > configured) {
        err << "plexivar: spooler " << spooler << " is not configured (NumberOfSpoolers is "
            << configured << ")\n";
        return 2;
    }
    const std::string path = platform::ResolvePath(dir, file);
    if (file.empty() || !platform::FileExists(path) || platform::DirectoryExists(path)) {
        err << "plexivar: no such file: " << file << "\n";
        return 1;
    }

    const SpoolerSettings& record = settings.Spooler(spooler);
    if (!record.EnableScaling)
        err << "plexivar: EnableScaling is 0 for spooler " << spooler << ": nothing is detected\n";

    std::string notes;
    DetectionOptions options;
    options.separators = settings.service.Separators;
    options.deleteInformationFile = false;
    options.notes = &notes;
    const std::string folder = platform::DirectoryOf(path);
    const SeparationInfo info =
        DetectSeparation(record, platform::FileNameOf(folder), platform::FileNameOf(path), path,
                         InformationFilePath(path), options);
    if (!notes.empty())
        err << notes;

    out << "Color: " << info.colour << "\n"
        << "Zone: " << info.zone << "\n"
        << "Xcorrection: " << platform::FormatReal(info.correctionX) << "\n"
        << "Ycorrection: " << platform::FormatReal(info.correctionY) << "\n"
        << "FlatSeparation: " << info.flatSeparation << "\n";
    return 0;
}

}  // namespace plexivar
