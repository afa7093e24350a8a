// The full resampling run behind the ResamleTIFF export: a 1-bit TIFF separation in, a
// descreened, resampled and rescreened 1-bit TIFF delivered to the caller's path.
#pragma once

#include <cstddef>
#include <string>

#include "vestrel/vestrel.h"

namespace vestrel {

// Room the caller provides for errorText: two paths and some text. Longer messages are cut.
inline constexpr std::size_t kErrorTextSize = 2 * VESTREL_OUTPUT_PATH_SIZE + 60;

// See ResamleTIFF in vestrel.h. Never throws.
int RunResamleTIFF(const char* inputPath, char* outputPath, int keepSize, int keepResolution,
                   double resolutionX, double resolutionY, double scaleX, double scaleY,
                   double topMargin, double bottomMargin, double leftMargin, double rightMargin,
                   char* errorText, ProgressCallback progress, int mergeBackground,
                   const char* backgroundPath) noexcept;

// Copies `text` into a caller's C buffer of `size` bytes, cut to fit and terminated.
void CopyToBuffer(const std::string& text, char* buffer, std::size_t size);

}  // namespace vestrel
