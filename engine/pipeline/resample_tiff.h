// The full resampling run behind the ResamleTIFF export: a 1-bit TIFF separation in, a
// descreened, resampled and rescreened 1-bit TIFF delivered to the caller's path.
#pragma once

#include "vestrel/vestrel.h"

namespace vestrel {

// See ResamleTIFF in vestrel.h. Never throws.
int RunResamleTIFF(const char* inputPath, char* outputPath, int keepSize, int keepResolution,
                   double resolutionX, double resolutionY, double scaleX, double scaleY,
                   double topMargin, double bottomMargin, double leftMargin, double rightMargin,
                   char* errorText, ProgressCallback progress, int mergeBackground,
                   const char* backgroundPath) noexcept;

}  // namespace vestrel
