// Automatic choice of the averaging window and the rescreen threshold from the scale.
#include <climits>
#include <cmath>

#include "engine/filter/filter_settings.h"

namespace vestrel {
namespace {

// Integer part (towards zero) of a real, held inside the int range (NaN gives `fallback`).
std::int32_t TruncateToInt(double v, std::int32_t fallback) {
    if (std::isnan(v))
        return fallback;
    if (v >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<std::int32_t>(v);
}

}  // namespace

void SelectAutomaticParameters(FilterSettings& s) {
    if (s.Automatic == 0)
        return;

    s.NoiseLevel = s.AutoNoiseLevel;
    s.DiffusionType = s.AutoDiffusionType;
    s.DiffusionToggle = s.AutoDiffusionToggle;

    // The window covers about one output pixel: the mean of the two factors (source pixels
    // per output pixel), summed in single precision as the record holds them.
    const float sum = s.ScaleX + s.ScaleY;
    s.AverageFilterSize = TruncateToInt(static_cast<double>(sum) * 0.5, 1);
    if (s.AverageFilterSize < 1)
        s.AverageFilterSize = 1;

    // r is the output/input width ratio; a source without width is treated as unscaled.
    const double r = s.SourceWidth > 0
                         ? static_cast<double>(s.TargetWidth) / static_cast<double>(s.SourceWidth)
                         : 1.0;
    if (r < 0.25) {
        s.Threshold = 0;
    } else if (r > 3.25) {
        s.Threshold = 50;
    } else {
        s.Threshold = TruncateToInt(25.0 * std::sqrt((r - 0.25) * 4.0 / 3.0), 0);
    }

    if (r == 1.0 || r <= 0.0)
        return;
    // A ratio close to a whole number (or the reciprocal of one) maps whole screen cells onto
    // whole output pixels and shows patterns: average over two pixels and widen the bands.
    const double e = r > 0.75 ? r - std::round(r) : 1.0 / r - std::round(1.0 / r);
    if (e > -0.05 && e < 0.05 && s.AverageFilterSize == 1) {
        s.AverageFilterSize = 2;
        s.Threshold = s.Threshold + 10 < 50 ? s.Threshold + 10 : 50;
    }
}

}  // namespace vestrel
