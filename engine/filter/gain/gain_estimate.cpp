// The estimation pass of the dot-gain filter: level statistics and thresholds over the whole
// image, band by band.
#include <algorithm>

#include "engine/filter/filter_log.h"
#include "engine/filter/gain/gain_band.h"
#include "engine/filter/gain/gain_filter.h"
#include "engine/filter/gain/gain_passes.h"
#include "engine/filter/gain/gain_rescreen.h"
#include "engine/filter/xfrm_stats.h"

namespace vestrel {

std::vector<BandRect> EstimationBands(const BandRect& area) {
    std::vector<BandRect> bands;
    if (area.h <= 0 || area.w <= 0)
        return bands;
    const std::int32_t count = (area.h + kEstimateBandRows - 1) / kEstimateBandRows;
    const std::int32_t rows = (area.h + count - 1) / count;
    for (std::int32_t top = 0; top < area.h; top += rows) {
        BandRect band = area;
        band.y = area.y + top;
        band.h = std::min(rows, area.h - top);
        bands.push_back(band);
    }
    return bands;
}

bool EstimateLocked(CommonFilterState& cs, GainFilterState& gs, const AreaDesc& area,
                    SourceRowSet& rows, int first) {
    if (gs.levelTable.empty()) {
        FilterError("FilterEstimate: filter not set up\n");
        return false;
    }
    if (area.present == 0)
        return true;
    const BandRect whole{area.x, area.y, area.w, area.h};
    const std::int32_t margin = GainMargin(gs.xfrm, cs.averageSize);
    const std::array<std::uint8_t, 256> valueOf =
        ValueTable(static_cast<int>(cs.maxValue), cs.doaverage);
    const int maxValue = static_cast<int>(cs.maxValue);
    for (const BandRect& band : EstimationBands(whole)) {
        const GainRequest req = GainRequestFor(band, margin, gs);
        if (!FetchGainRequest(gs, req, rows, first, "FilterEstimate"))
            return false;
        first = 0;
        VESTREL_GAIN_TIMING(cs, "FilterEstimate: got src data sep %d: %5.3f seconds\n");
        if (req.rows() < std::max(cs.averageHalf, gs.xfrm.half)) {
            FilterError("FilterEstimate: Area too small\n");
            return false;
        }
        VESTREL_GAIN_TIMING(cs, "FilterEstimate: xfrm ini      sep %d: %5.3f seconds\n");
        if (!BuildXfrmMap(gs, req))
            return false;
        VESTREL_GAIN_TIMING(cs, "FilterEstimate: xfrm avg data sep %d: %5.3f seconds\n");

        const RowView xfrm = XfrmView(gs, req);
        const RowView source = SourceView(gs, req);
        GatherXfrmStats(xfrm, source, band, cs.addnoise ? &gs.noise : nullptr, gs.levelTable);
        VESTREL_GAIN_TIMING(cs, "GatherXfrmStats: xfrm hs0 data sep %d: %5.3f seconds\n");

        if (cs.doaverage) {
            if (!AverageRequest(gs, req, cs.averageSize, true))
                return false;
            VESTREL_GAIN_TIMING(cs, "FilterEstimate: avg      data sep %d: %5.3f seconds\n");
        }
        AccumulateXfrmHistograms(xfrm, source, band, valueOf, gs.levelTable);
        VESTREL_GAIN_TIMING(cs, "CalculateXfrmStats: xfrm hs1 data sep %d: %5.3f seconds\n");
        UpdateXfrmThresholds(gs.levelTable, maxValue);
        VESTREL_GAIN_TIMING(cs, "CalculateXfrmStats: xfrm hs2 data sep %d: %5.3f seconds\n");

        // No copy-back to a row cache (CacheActive): the reader serves every request from
        // the packed image, so averaging in place never changes what a later band reads.
        VESTREL_GAIN_TIMING(cs, "FilterEstimate: xfrm estimateloop sep %d: %5.3f seconds\n");
        if (cs.verbose != 0)
            FilterLog(
                "FilterEstimate: filtering %5dx%5d pixels from (%5d,%5d) done in: %5.3f "
                "seconds\n",
                band.w, band.h, band.x, band.y, SecondsSinceSetup(cs));
    }
    return true;
}

}  // namespace vestrel
