#include "engine/pipeline/plate_limits.h"

#include <cmath>

#include "platform/c_locale.h"

namespace vestrel {
using plexivar::platform::Format;

std::string CheckImageSize(const char* what, std::uint32_t width, std::uint32_t height) {
    if (width <= kMaxSide && height <= kMaxSide &&
        std::uint64_t{width} * height <= kMaxPixels)
        return {};
    return Format("%s of %u x %u pixels is too large (at most %u pixels a side and %llu million "
                  "pixels)",
                  what, width, height, kMaxSide,
                  static_cast<unsigned long long>(kMaxPixels / 1000000));
}

std::string CheckResolution(double dpi, const char* where) {
    if (std::isfinite(dpi) && dpi >= kMinDpi && dpi <= kMaxDpi)
        return {};
    return Format("Implausible resolution %g dpi %s (a plate has %g to %g dpi)", dpi, where,
                  kMinDpi, kMaxDpi);
}

std::string CheckScaleFactors(double factorX, double factorY) {
    const auto plausible = [](double f) {
        return std::isfinite(f) && f <= kMaxScaleFactor && f >= 1.0 / kMaxScaleFactor;
    };
    if (plausible(factorX) && plausible(factorY))
        return {};
    return Format("Implausible scale factor %g x %g input pixels per output pixel (at most %g "
                  "times smaller or larger along each axis)",
                  factorX, factorY, kMaxScaleFactor);
}

}  // namespace vestrel
