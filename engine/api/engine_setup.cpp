#include "engine/api/engine_setup.h"

#include "engine/api/engine_log.h"
#include "engine/filter/filter_log.h"
#include "engine/api/tiff_diagnostics.h"
#include "platform/c_locale.h"
#include "platform/file_ops.h"
#include "platform/ini_file.h"

namespace vestrel {
namespace {

using plexivar::platform::IniFile;

constexpr const char* kSection = "Setup";

int ReadInt(const IniFile& ini, const char* key, const char* defaultText) {
    return plexivar::platform::ParseInt(ini.Get(kSection, key, defaultText));
}

// A relative TempPath is taken below the load directory, never below whatever directory
// is current when a job runs.
std::string ReadTempPath(const IniFile& ini, const EngineSetup& setup) {
    const std::string fallback = plexivar::platform::JoinPath(setup.loadDirectory, "temp");
    const std::string value = ini.Get(kSection, "TempPath", fallback);
    if (value.empty() || setup.loadDirectory.empty())
        return value;
    return plexivar::platform::ResolvePath(setup.loadDirectory, value);
}

}  // namespace

EngineSetup& ProcessSetup() {
    static EngineSetup setup;
    return setup;
}

void InitializeEngine(const std::string& loadDirectory) {
    InstallTiffDiagnostics();

    EngineSetup& setup = ProcessSetup();
    setup.loadDirectory = loadDirectory;
    setup.iniPath = plexivar::platform::JoinPath(loadDirectory, "plexivar.ini");
    SetEngineLogPath(plexivar::platform::JoinPath(loadDirectory, "Plexivar.log"));
    SetFilterLogPath(plexivar::platform::JoinPath(loadDirectory, "vestrel.log"));

    const IniFile ini = IniFile::Load(setup.iniPath);
    setup.useTempPath = ReadInt(ini, "UseTempPath", "1");
    setup.tempPath = ReadTempPath(ini, setup);
    setup.lineBuffers = ReadInt(ini, "Linebuffers", "1024");
    setup.rowsPerStrip = ReadInt(ini, "RowsPerStrip", "256");
    setup.compression = ReadInt(ini, "Compression", "4");
    setup.extraTags = ReadInt(ini, "ExtraTags", "0");
    setup.cacheAllLimitMB = ReadInt(ini, "CacheAllLimitMB", "500");
    setup.randomReverse = ReadInt(ini, "RandomReverse", "0");
    // The working-set limits have no counterpart on this system: no INFO line.
}

void ReadPerCallSetup() {
    EngineSetup& setup = ProcessSetup();
    const IniFile ini = IniFile::Load(setup.iniPath);
    setup.useTempPath = ReadInt(ini, "UseTempPath", "1");
    setup.tempPath = ReadTempPath(ini, setup);
    setup.rowsPerStrip = ReadInt(ini, "RowsPerStrip", "256");
    setup.compression = ReadInt(ini, "Compression", "4");
    setup.extraTags = ReadInt(ini, "ExtraTags", "0");
}

void StoreParams(int lineBuffers, int xReference, int yReference) {
    EngineSetup& setup = ProcessSetup();
    setup.lineBuffers = lineBuffers;
    setup.xReference = xReference;
    setup.yReference = yReference;
}

void ReportProgress(int percent) {
    if (ProcessSetup().progress != nullptr)
        ProcessSetup().progress(percent);
}

}  // namespace vestrel
