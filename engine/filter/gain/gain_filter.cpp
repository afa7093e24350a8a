#include "engine/filter/gain/gain_filter.h"

#include <algorithm>
#include <limits>
#include <mutex>

#include "engine/filter/filter_log.h"
#include "engine/filter/filter_state.h"
#include "engine/filter/gain/gain_band.h"
#include "engine/filter/gain/gain_passes.h"
#include "engine/filter/gain/gain_tables.h"

namespace vestrel {

namespace {

// The source area of the settings, or false (after logging) when it is empty or does not
// fit 32-bit coordinates.
bool TakeSourceArea(const FilterSettings& settings, GainFilterState& gs) {
    const AreaDesc& source = settings.DestIsSource != 0 ? settings.DestDesc : settings.SourceDesc;
    const std::int64_t right = std::int64_t{source.x} + source.w;
    const std::int64_t bottom = std::int64_t{source.y} + source.h;
    if (source.w <= 0 || source.h <= 0 || source.x < 0 || source.y < 0 ||
        right > std::numeric_limits<std::int32_t>::max() ||
        bottom > std::numeric_limits<std::int32_t>::max()) {
        FilterError("InitGainFilter: empty source area\n");
        return false;
    }
    gs.sourceLeft = source.x;
    gs.sourceTop = source.y;
    gs.sourceRight = static_cast<std::int32_t>(right);
    gs.sourceBottom = static_cast<std::int32_t>(bottom);
    return true;
}

int InitLocked(const AreaDesc& destDesc, SourceRowSet& rows, int& status) {
    status = 1;
    CommonFilterState& cs = FilterState();
    GainFilterState& gs = GainState();
    gs.ready = false;
    const FilterSettings* settings = CurrentFilterSettings();
    if (settings == nullptr) {
        FilterError("InitGainFilter: no filter settings\n");
        return 0;
    }
    CommonFilterSetup(*settings, cs);
    GainValuesSetup(*settings, cs, gs);
    if (!TakeSourceArea(*settings, gs))
        return 0;
    if (settings->BitsPerSample != 1) {
        FilterError("InitGainFilter: %d bits per sample cannot be filtered (1-bit only)\n",
                  settings->BitsPerSample);
        return 0;
    }
    // The output has the source's geometry, so the output area must lie inside the source.
    if (destDesc.w < 0 || destDesc.h < 0 || destDesc.x < gs.sourceLeft ||
        destDesc.y < gs.sourceTop || std::int64_t{destDesc.x} + destDesc.w > gs.sourceRight ||
        std::int64_t{destDesc.y} + destDesc.h > gs.sourceBottom) {
        FilterError("InitGainFilter: output area x=%d,y=%d,w=%d,h=%d outside the source\n",
                  destDesc.x, destDesc.y, destDesc.w, destDesc.h);
        return 0;
    }
    gs.destX = destDesc.x;
    gs.destW = destDesc.w;
    if (!BuildGainTables(destDesc, *settings, cs, gs))
        return 0;
    if (!EstimateLocked(cs, gs, destDesc, rows, 1))
        return 0;
    gs.ready = true;
    status = 0;
    return 1;
}

}  // namespace

void SetGainSourceReader(GetDataFn reader) {
    std::lock_guard<std::mutex> lock(FilterMutex());
    GainState().reader = reader;
}

int InitGainFilter(const AreaDesc& destDesc, SourceRowSet& rows, int& status) {
    std::lock_guard<std::mutex> lock(FilterMutex());
    return InitLocked(destDesc, rows, status);
}

int DoGainFilterData(const AreaDesc& destDesc, int& status, SourceRowSet& rows, int first) {
    std::lock_guard<std::mutex> lock(FilterMutex());
    status = 1;
    if (destDesc.h == 0 || destDesc.w == 0)
        return 1;
    CommonFilterState& cs = FilterState();
    if (cs.verbose != 0)
        FilterLog("DoFilterData: DestDesc x=%d,y=%d,w=%d,h=%d\n", destDesc.x, destDesc.y,
                  destDesc.w, destDesc.h);
    if (!FilterAreaLocked(cs, GainState(), destDesc, rows, first))
        return 0;
    status = 0;
    return 1;
}

int FilterArea(const AreaDesc& destDesc, SourceRowSet& rows, int first) {
    std::lock_guard<std::mutex> lock(FilterMutex());
    return FilterAreaLocked(FilterState(), GainState(), destDesc, rows, first) ? 1 : 0;
}

int FilterEstimate(const AreaDesc& destDesc, SourceRowSet& rows, int first) {
    std::lock_guard<std::mutex> lock(FilterMutex());
    return EstimateLocked(FilterState(), GainState(), destDesc, rows, first) ? 1 : 0;
}

void ReleaseGainTables() {
    std::lock_guard<std::mutex> lock(FilterMutex());
    GainFilterState& gs = GainState();
    gs.ready = false;
    std::vector<LevelEntry>().swap(gs.levelTable);
    gs.noise.fill(0);
    std::vector<std::uint8_t*>().swap(gs.requestRows);
    gs.separationTables[0] = nullptr;
    std::vector<std::uint8_t>().swap(gs.xfrmStorage);
    std::vector<std::uint8_t*>().swap(gs.xfrmRows);
}

int MaxGainRequestRows(const FilterSettings& settings, int bandRows) {
    const XfrmLevels xfrm = XfrmLevelsFor(settings.XfrmFiltSize, settings.XFrmDivScale);
    const std::int64_t margin = GainMargin(xfrm, settings.AverageFilterSize);
    const std::int64_t rows =
        std::max<std::int64_t>(std::max(bandRows, 1), kEstimateBandRows) + 2 * margin;
    return static_cast<int>(std::min<std::int64_t>(rows, std::numeric_limits<int>::max()));
}

std::vector<LevelEntry> GainLevelTable() {
    std::lock_guard<std::mutex> lock(FilterMutex());
    return GainState().levelTable;
}

}  // namespace vestrel
