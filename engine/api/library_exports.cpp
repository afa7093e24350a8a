// The exported C interface of libvestrel.so and the start-up run when the library loads.
// Only this file is compiled into the shared library itself; everything it calls lives in
// vestrel_core, hidden from the library's users.
#include "engine/api/engine_setup.h"
#include "engine/pipeline/dot_gain_tiff.h"
#include "engine/pipeline/resample_tiff.h"
#include "engine/pipeline/simple_resample_tiff.h"
#include "engine/api/tiff_diagnostics.h"
#include "platform/program_dir.h"
#include "vestrel/vestrel.h"

namespace {

// Runs once when the library is loaded: the ini file and the logs are taken from the
// directory that is current at that moment.
__attribute__((constructor)) void StartEngine() {
    vestrel::InitializeEngine(plexivar::platform::CurrentDirectory());
}

// Runs when the library is unloaded: the TIFF library outlives it and must not keep
// handlers that point into it.
__attribute__((destructor)) void StopEngine() {
    vestrel::RemoveTiffDiagnostics();
}

}  // namespace

extern "C" {

VESTREL_EXPORT void SetParams(int lineBuffers, int xReference, int yReference) {
    vestrel::StoreParams(lineBuffers, xReference, yReference);
}

VESTREL_EXPORT int ResamleTIFF(const char* inputPath, char* outputPath, int keepSize,
                               int keepResolution, double resolutionX, double resolutionY,
                               double scaleX, double scaleY, double topMargin,
                               double bottomMargin, double leftMargin, double rightMargin,
                               char* errorText, ProgressCallback progress, int mergeBackground,
                               const char* backgroundPath) {
    return vestrel::RunResamleTIFF(inputPath, outputPath, keepSize, keepResolution, resolutionX,
                                   resolutionY, scaleX, scaleY, topMargin, bottomMargin,
                                   leftMargin, rightMargin, errorText, progress, mergeBackground,
                                   backgroundPath);
}

VESTREL_EXPORT int SimpleResamleTIFF(const char* inputPath, const char* outputPath,
                                     int reserved1, int reserved2, double scalePercent) {
    return vestrel::RunSimpleResamleTIFF(inputPath, outputPath, reserved1, reserved2,
                                         scalePercent);
}

VESTREL_EXPORT int DotGainTIFF(const char* inputPath, const char* separationName,
                               char* outputPath, char* errorText, ProgressCallback progress) {
    return vestrel::RunDotGainTIFF(inputPath, separationName, outputPath, errorText, progress);
}

}  // extern "C"
