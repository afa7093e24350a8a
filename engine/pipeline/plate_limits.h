// What a plausible plate is. A damaged or hostile file must be refused at once, with a message
// that names the value, before it costs memory or time: the service serves every hot folder
// from one thread, so one file that keeps the engine busy for hours stops the whole plant.
//
// Newspaper plates run to about 30000 x 45000 pixels at 300 to 4000 dpi. The limits leave
// ample room beyond that and still bound the work of one call:
//   - an image (input or output) has at most kMaxSide pixels a side and kMaxPixels pixels in
//     all (4000 million pixels: 500 MB packed, three times the largest plate);
//   - a resolution, in the file or asked for, lies between kMinDpi and kMaxDpi;
//   - a resampling changes the size by at most kMaxScaleFactor along each axis, either way.
// The input's tags are checked in one place for all three pipelines (ReadInputFacts), the
// output of a resampling where its geometry is computed (ComputeOutputGeometry), both before
// anything is allocated.
#pragma once

#include <cstdint>
#include <string>

namespace vestrel {

inline constexpr std::uint32_t kMaxSide = 200000;
inline constexpr std::uint64_t kMaxPixels = 4000000000ull;
inline constexpr double kMinDpi = 20;
inline constexpr double kMaxDpi = 50000;
inline constexpr double kMaxScaleFactor = 32;

// "" for an image of a plausible size, else "<what> of W x H pixels is too large (...)".
std::string CheckImageSize(const char* what, std::uint32_t width, std::uint32_t height);

// "" for a plausible resolution, else "Implausible resolution 0.0052 dpi <where> (...)".
std::string CheckResolution(double dpi, const char* where);

// "" when `factorX` and `factorY` (input pixels per output pixel) are plausible, else
// "Implausible scale factor ... (...)".
std::string CheckScaleFactors(double factorX, double factorY);

}  // namespace vestrel
