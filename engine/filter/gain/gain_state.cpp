#include "engine/filter/gain/gain_state.h"

#include <algorithm>

namespace vestrel {

XfrmLevels XfrmLevelsFor(std::int32_t xfrmFiltSize, std::int32_t xfrmDivScale) {
    XfrmLevels x;
    x.window = std::max(xfrmFiltSize, 1);
    x.half = x.window / 2;
    x.divisor = std::clamp(xfrmDivScale, 1, x.window);
    // The window counts at most S * S ink pixels, so more than S * S + 1 levels could never
    // all occur.
    const std::int64_t counts = std::int64_t{x.window} * x.window + 1;
    x.levels = static_cast<std::int32_t>(std::min<std::int64_t>(256 / x.divisor, counts));
    return x;
}

GainFilterState& GainState() {
    static GainFilterState state;
    return state;
}

}  // namespace vestrel
