#include "service/config/settings.h"

#include <algorithm>

#include "platform/c_locale.h"
#include "platform/file_ops.h"
#include "platform/ini_file.h"
#include "service/config/settings_keys.h"

namespace plexivar {
namespace {

constexpr const char* kSetup = "Setup";
constexpr const char* kWindow = "Window";
constexpr const char* kStatus = "Status";
// The saved window rectangle is read with a larger buffer than the other keys.
constexpr std::size_t kWindowBufferSize = 260;

std::string NumberedKey(const char* name, int n) { return platform::Format("%s%d", name, n); }

// A record with the defaults that depend on the program directory filled in.
ServiceSettings DefaultServiceSettings(const std::string& programDir) {
    ServiceSettings s;
    s.TempPath = platform::JoinPath(programDir, "temp");
    s.LogFile = platform::JoinPath(programDir, "temp/Plexivar.log");
    s.LogFile2 = platform::JoinPath(programDir, "temp/PlexivarJobs.csv");
    return s;
}

SpoolerSettings DefaultSpoolerSettings(const std::string& programDir, int n) {
    SpoolerSettings s;
    s.InputFolder = platform::JoinPath(programDir, platform::Format("input%d", n));
    s.OutputFolder = platform::JoinPath(programDir, platform::Format("output%d", n));
    return s;
}

template <class Record>
void ReadPresentKey(const platform::IniFile& ini, const char* section, const std::string& name,
                    const KeyDef<Record>& key, Record& record,
                    std::size_t bufferSize = platform::kProfileBufferSize) {
    if (ini.Has(section, name)) ReadKey(key, ini.Get(section, name, "", bufferSize), record);
}

int SpoolerCount(const ServiceSettings& s) {
    return std::clamp(s.NumberOfSpoolers, 0, MaxSpoolers);
}

}  // namespace

std::string SettingsFilePath(const std::string& programDir) {
    return platform::JoinPath(programDir, "plexivar.ini");
}

std::vector<std::string> LoadSettings(const std::string& iniPath, const std::string& programDir,
                                      Settings& settings) {
    std::vector<std::string> warnings;
    const platform::IniFile ini = platform::IniFile::Load(iniPath);

    settings.service = DefaultServiceSettings(programDir);
    for (const auto& key : ServiceKeys())
        ReadPresentKey(ini, kSetup, key.name, key, settings.service);
    for (const auto& key : WindowKeys())
        ReadPresentKey(ini, kWindow, key.name, key, settings.service.Window, kWindowBufferSize);
    for (const auto& key : StatusKeys())
        ReadPresentKey(ini, kStatus, key.name, key, settings.service.Status);

    // The spooler table has room for MaxSpoolers records; a larger count is cut down so
    // that no record beyond the table is ever touched.
    if (settings.service.NumberOfSpoolers > MaxSpoolers) {
        warnings.push_back(platform::Format(
            "WARNING: NumberOfSpoolers %d exceeds the maximum of %d; only spoolers 1 to %d are "
            "used",
            settings.service.NumberOfSpoolers, MaxSpoolers, MaxSpoolers));
        settings.service.NumberOfSpoolers = MaxSpoolers;
    }

    // Every record of the table is read, also beyond the count: keys of spoolers that were
    // removed stay in the file, and raising the count again brings their values back.
    for (int n = 1; n <= MaxSpoolers; ++n) {
        SpoolerSettings& spooler = settings.Spooler(n);
        spooler = DefaultSpoolerSettings(programDir, n);
        for (const auto& key : SpoolerKeys())
            ReadPresentKey(ini, kSetup, NumberedKey(key.name, n), key, spooler);
    }
    return warnings;
}

bool SaveSettings(const std::string& iniPath, const Settings& settings) {
    platform::IniFile ini = platform::IniFile::Load(iniPath);
    for (const auto& key : ServiceKeys()) {
        if (key.form != WriteForm::NotWritten)
            ini.Set(kSetup, key.name, KeyText(key, settings.service));
    }
    for (int n = 1; n <= SpoolerCount(settings.service); ++n) {
        for (const auto& key : SpoolerKeys())
            ini.Set(kSetup, NumberedKey(key.name, n), KeyText(key, settings.Spooler(n)));
    }
    return ini.Save(iniPath);
}

std::string SettingsAsIniText(const Settings& settings) {
    std::string out = "[Setup]\n";
    for (const auto& key : ServiceKeys())
        out += std::string(key.name) + "=" + ShownKeyText(key, settings.service) + "\n";
    for (int n = 1; n <= SpoolerCount(settings.service); ++n) {
        for (const auto& key : SpoolerKeys())
            out += NumberedKey(key.name, n) + "=" + ShownKeyText(key, settings.Spooler(n)) + "\n";
    }
    out += "\n[Window]\n";
    for (const auto& key : WindowKeys())
        out += std::string(key.name) + "=" + ShownKeyText(key, settings.service.Window) + "\n";
    out += "\n[Status]\n";
    for (const auto& key : StatusKeys())
        out += std::string(key.name) + "=" + ShownKeyText(key, settings.service.Status) + "\n";
    return out;
}

Settings& GlobalSettings() {
    static Settings settings;
    return settings;
}

}  // namespace plexivar
