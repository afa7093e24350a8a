#include "engine/filter/gain/gain_tables.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

#include "engine/filter/filter_log.h"
#include "engine/filter/gain/gain_curve.h"

namespace vestrel {

void GainValuesSetup(const FilterSettings& settings, const CommonFilterState& cs,
                     GainFilterState& gs) {
    gs.xfrm = XfrmLevelsFor(settings.XfrmFiltSize, settings.XFrmDivScale);
    gs.noiseAmplitude = cs.noiseAmplitude * static_cast<float>(gs.xfrm.levels);
}

bool BuildGainTables(const AreaDesc& destDesc, const FilterSettings& settings,
                     CommonFilterState& cs, GainFilterState& gs) {
    if (cs.diffusionType == kDiffusionTwoD && !cs.errorRows.Allocate(destDesc.w)) {
        FilterError("DoFilterData: memory allocation failed\n");
        return false;
    }

    gs.noise.fill(0);
    if (cs.addnoise) {
        // Noise beyond +-256 levels moves any level to an end of the scale just the same; the
        // limit keeps an absurd NoiseLevel from overflowing the integers.
        for (std::size_t k = gs.noise.size(); k-- > 0;) {
            const float v = std::round(cs.random.NoiseTerm(gs.noiseAmplitude));
            gs.noise[k] = static_cast<std::int32_t>(std::clamp(v, -256.0f, 256.0f));
        }
    }

    const auto levels = static_cast<std::size_t>(gs.xfrm.levels);
    const auto bins = static_cast<std::size_t>(cs.maxValue) + 1;
    std::vector<LevelEntry>().swap(gs.levelTable);
    try {
        std::vector<float> ratios(levels, 1.0f);
        GainRatios(FindSeparationCurve(settings, settings.SeparationName), gs.xfrm.levels,
                   ratios.data());
        std::vector<LevelEntry> table(levels);
        for (std::size_t k = 0; k < levels; ++k) {
            table[k].histogram.assign(bins, 0);
            table[k].gainRatio = ratios[k];
        }
        gs.levelTable = std::move(table);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace vestrel
