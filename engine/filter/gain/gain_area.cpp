// The output pass of the dot-gain filter: one band rethresholded level by level.
#include <algorithm>

#include "engine/filter/filter_log.h"
#include "engine/filter/gain/gain_band.h"
#include "engine/filter/gain/gain_passes.h"
#include "engine/filter/gain/gain_rescreen.h"
#include "engine/filter/xfrm_stats.h"

namespace vestrel {

bool FilterAreaLocked(CommonFilterState& cs, GainFilterState& gs, const AreaDesc& dest,
                      SourceRowSet& rows, int first) {
    if (!gs.ready) {
        FilterError("FilterArea: filter not set up\n");
        return false;
    }
    // The output has the source's geometry: a band must lie inside the source rows and have
    // the columns of the set-up.
    if (dest.x != gs.destX || dest.w != gs.destW || dest.h < 0 || dest.y < gs.sourceTop ||
        std::int64_t{dest.y} + dest.h > gs.sourceBottom || dest.rowTables == nullptr ||
        dest.rowTables[0] == nullptr) {
        FilterError("FilterArea: invalid band x=%d,y=%d,w=%d,h=%d for the output area x=%d,w=%d\n",
                  dest.x, dest.y, dest.w, dest.h, gs.destX, gs.destW);
        return false;
    }
    if (dest.w == 0 || dest.h == 0 || dest.present == 0)
        return true;
    const BandRect band{dest.x, dest.y, dest.w, dest.h};

    const GainRequest req = GainRequestFor(band, GainMargin(gs.xfrm, cs.averageSize), gs);
    if (!FetchGainRequest(gs, req, rows, first, "FilterArea"))
        return false;
    VESTREL_GAIN_TIMING(cs, "FilterArea: got src data sep %d: %5.3f seconds\n");
    if (req.rows() < std::max(cs.averageHalf, gs.xfrm.half)) {
        FilterError("FilterArea: Area too small\n");
        return false;
    }
    VESTREL_GAIN_TIMING(cs, "FilterArea: xfrm ini      sep %d: %5.3f seconds\n");
    if (!BuildXfrmMap(gs, req))
        return false;
    VESTREL_GAIN_TIMING(cs, "FilterArea: xfrm avg data sep %d: %5.3f seconds\n");

    const RowView xfrm = XfrmView(gs, req);
    if (cs.addnoise) {
        AddNoise(xfrm, band, gs.noise, gs.xfrm.levels);
        VESTREL_GAIN_TIMING(cs, "AddNoise: xfrm addnoise sep %d: %5.3f seconds\n");
    }
    if (cs.doaverage) {
        if (!AverageRequest(gs, req, cs.averageSize, true))
            return false;
        VESTREL_GAIN_TIMING(cs, "FilterArea: avg      data sep %d: %5.3f seconds\n");
    }

    if (cs.diffusionType == kDiffusionTwoD && cs.errorRows.width() < band.w) {
        FilterError("FilterArea: filter not set up\n");
        return false;
    }
    GainRescreenParams params;
    params.valueOf = ValueTable(static_cast<int>(cs.maxValue), cs.doaverage);
    params.valueClass = ValueClassTable(cs.low, cs.high);
    params.diffusionType = cs.diffusionType;
    params.diffusionToggle = cs.diffusionToggle;
    GainRescreenBand(xfrm, SourceView(gs, req), band, MakeLevelDecisions(gs.levelTable), params,
                     cs.errorRows, dest.rowTables[0]);

    // No copy-back to a row cache (CacheActive): the reader serves every request from the
    // packed image, so averaging in place never changes what a later band reads.
    if (cs.verbose != 0) {
        FilterLog("FilterArea: xfrm filtloop sep %d: %5.3f seconds\n", kGainSeparation,
                  SecondsSinceSetup(cs));
        FilterLog("FilterArea: filtering %5dx%5d pixels from (%5d,%5d) done in: %5.3f seconds\n",
                  band.w, band.h, band.x, band.y, SecondsSinceSetup(cs));
    }
    return true;
}

}  // namespace vestrel
