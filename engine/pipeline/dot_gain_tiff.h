// The dot-gain run behind the DotGainTIFF export: a 1-bit TIFF separation in, the same image
// with its tone corrected by the separation's tone curve out (same size and resolution,
// CCITT Group 4), delivered to the caller's path by the engine's one delivery (straight or
// staged as UseTempPath says, engine/pipeline/delivery.h).
#pragma once

#include "engine/pipeline/delivery.h"
#include "vestrel/vestrel.h"

namespace vestrel {

// See DotGainTIFF in vestrel.h. The curve is the one the filter settings give for
// `separationName` exactly as passed (null counts as ""): with UseMaster set the master
// curve of section "All", otherwise the section named like the separation, else "Process"
// for a process colour, else "Default", else the identity curve. `outputPath` (260 bytes)
// holds the final path on entry and the working file "<inputPath>.tmp" on return. Never
// throws.
int RunDotGainTIFF(const char* inputPath, const char* separationName, char* outputPath,
                   char* errorText, ProgressCallback progress) noexcept;

// The same, with the delivery's waits between two attempts supplied by the caller (tests).
int RunDotGainTIFF(const char* inputPath, const char* separationName, char* outputPath,
                   char* errorText, ProgressCallback progress, const SleepFunction& sleep) noexcept;

}  // namespace vestrel
