// The engine's process-wide settings: "Setup" keys of the ini file and SetParams values.
#pragma once

#include <string>

#include "vestrel/vestrel.h"

namespace vestrel {

struct EngineSetup {
    int lineBuffers = 1024;     // output rows per band; strip height of strip-written output
    int xReference = 1;         // 0 left, 1 centred, 2 right; other values act as 0
    int yReference = 1;         // 0 top, 1 centred, 2 bottom; other values act as 0
    int useTempPath = 1;        // 0 move directly; 1 via <output>/tmp; other: via tempPath
    std::string tempPath;       // folder used when useTempPath is neither 0 nor 1
    int rowsPerStrip = 256;     // strip height of rewritten files
    int compression = 4;        // output compression code (engine/tiff/output_compression.h)
    int extraTags = 0;          // non-zero: artist, software, orientation, page, date tags
    int cacheAllLimitMB = 500;  // largest packed input (MiB) read whole into memory
    int randomReverse = 0;      // rescreening direction rule
    std::string loadDirectory;  // current directory when the library was loaded
    std::string iniPath;        // <loadDirectory>/plexivar.ini
    ProgressCallback progress = nullptr;  // from the last ResamleTIFF or DotGainTIFF call
};

// The one process-wide record.
EngineSetup& ProcessSetup();

// Start-up of the library: fixes the ini path and the log paths below `loadDirectory`,
// reads every "Setup" key (defaults for a missing file or key), installs the TIFF library's
// warning and error handlers. Never fails.
void InitializeEngine(const std::string& loadDirectory);

// Re-reads the keys that take effect on the next job without reloading the library:
// UseTempPath, TempPath, RowsPerStrip, Compression, ExtraTags.
void ReadPerCallSetup();

// What SetParams stores; no checks (the caller passes lineBuffers >= 1 and references 0..2).
void StoreParams(int lineBuffers, int xReference, int yReference);

// Reports `percent` to the progress function of the last ResamleTIFF or DotGainTIFF call
// (nothing when there is none). Every pipeline reports through this one function.
void ReportProgress(int percent);

}  // namespace vestrel
