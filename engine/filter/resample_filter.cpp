#include "engine/filter/resample_filter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <limits>
#include <vector>

#include "engine/filter/filter_log.h"
#include "engine/filter/filter_state.h"
#include "engine/filter/overlapped_rescreen.h"
#include "engine/filter/resample_geometry.h"
#include "engine/filter/resample_output.h"
#include "engine/filter/resample_sampling.h"
#include "engine/filter/source_averaging.h"

namespace vestrel {

namespace {

// The only separation of this system; the filter works on separation 0 of every area.
constexpr int kSeparation = 0;

// Narrowest rows rescreened with a worker thread. Handing a row over costs about a
// microsecond; a row of this width takes several to diffuse, a plate row a hundred.
constexpr int kOverlapWidth = 1024;

// What the resampling filter keeps for one image besides the common state.
struct ResampleState {
    bool ready = false;  // the last InitResampleFilter succeeded
    GetDataFn reader = nullptr;
    bool randomReverse = false;

    // Copied from the settings by the set-up, so a band never depends on a record that the
    // caller may change or free while the image is produced.
    ResampleGeometry geometry;
    std::int32_t bitsPerSample = 1;
    std::int32_t destX = 0;  // columns of the output area; every band must have them
    std::int32_t destW = 0;
    bool doaverage = false;  // averaging in effect for this image

    // Source rows of the current request: one pointer per requested row, filled by the
    // reader; grows to the largest request of the image and is kept for the next band.
    std::vector<std::uint8_t*> requestRows;
    // The same rows from the request's first column on, for the averager.
    std::vector<std::uint8_t*> averagedRows;
    // The request's row tables, one per separation (only separation 0 is used).
    std::array<std::uint8_t**, 1> separationTables{};
    ColumnTables columns;  // per output column, built with the first band
    // The rescreen's worker thread and its prepared rows, from the first band to the release.
    RescreenWorker rescreenWorker;
    // Value of a source byte for the rescreen (see RescreenParams::valueOf).
    std::array<float, 256> valueOf{};
};

ResampleState& State() {
    static ResampleState state;
    return state;
}

bool ValidScale(float s) {
    return std::isfinite(s) && s > 0.0f;
}

// Fills the value table: averaged values stand for themselves; without averaging a 1-bit
// black pixel is worth A; grey bytes always stand for themselves.
void FillValueTable(ResampleState& rs, const CommonFilterState& cs) {
    const bool identity = rs.doaverage || rs.bitsPerSample != 1;
    for (int b = 0; b < 256; ++b)
        rs.valueOf[static_cast<std::size_t>(b)] =
            identity ? static_cast<float>(b) : (b != 0 ? cs.maxValue : 0.0f);
}

int InitLocked(const AreaDesc& destDesc, int& status) {
    status = 1;
    ResampleState& rs = State();
    CommonFilterState& cs = FilterState();
    rs.ready = false;
    const FilterSettings* settings = CurrentFilterSettings();
    if (settings == nullptr) {
        FilterError("InitResampleFilter: no filter settings\n");
        return 0;
    }
    CommonFilterSetup(*settings, cs);
    cs.noiseAmplitude = cs.noiseAmplitude * (2.0f * cs.maxValue);

    const AreaDesc& source =
        settings->DestIsSource != 0 ? settings->DestDesc : settings->SourceDesc;
    const std::int64_t right = std::int64_t{source.x} + source.w;
    const std::int64_t bottom = std::int64_t{source.y} + source.h;
    if (source.w <= 0 || source.h <= 0 || source.x < 0 || source.y < 0 ||
        right > std::numeric_limits<std::int32_t>::max() ||
        bottom > std::numeric_limits<std::int32_t>::max()) {
        FilterError("InitResampleFilter: empty source area\n");
        return 0;
    }
    if (!ValidScale(settings->ScaleX) || !ValidScale(settings->ScaleY)) {
        FilterError("InitResampleFilter: invalid scale %f x %f\n",
                  static_cast<double>(settings->ScaleX), static_cast<double>(settings->ScaleY));
        return 0;
    }
    if (destDesc.w < 0 || destDesc.h < 0 || destDesc.x < 0 || destDesc.y < 0) {
        FilterError("InitResampleFilter: invalid output area\n");
        return 0;
    }
    rs.geometry =
        MakeResampleGeometry(settings->ScaleX, settings->ScaleY, cs.averageSize, destDesc.x,
                             destDesc.y, settings->SourceRowOffset, source.x, source.y,
                             static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom));
    rs.bitsPerSample = settings->BitsPerSample;
    rs.destX = destDesc.x;
    rs.destW = destDesc.w;
    // A source with no more rows than half the averaging window is not averaged at all
    // (black then counts as A): decided once per image, so every band treats it alike.
    rs.doaverage = cs.doaverage && source.h > cs.averageHalf;
    FillValueTable(rs, cs);
    rs.columns.Release();
    rs.rescreenWorker.Release();

    if (cs.diffusionType == kDiffusionTwoD && !cs.errorRows.Allocate(destDesc.w)) {
        FilterError("DoFilterData: memory allocation failed\n");
        return 0;
    }
    rs.ready = true;
    status = 0;
    return 1;
}

// Fetches the band's source rectangle into rs.requestRows. Returns false after logging.
bool FetchSource(ResampleState& rs, const SourceRequest& req, SourceRowSet& rows, int first) {
    try {
        rs.requestRows.assign(static_cast<std::size_t>(req.rows()), nullptr);
    } catch (const std::exception&) {
        FilterError("FilterArea: memory allocation failed\n");
        return false;
    }
    rs.separationTables[0] = rs.requestRows.data();

    AreaDesc request;
    request.imageWidth = static_cast<std::uint32_t>(rs.geometry.right);
    request.imageHeight = static_cast<std::uint32_t>(rs.geometry.bottom);
    request.separations = 1;  // one row table is provided, whatever the output area says
    request.present = 1;
    request.x = req.firstCol;
    request.y = req.firstRow;
    request.w = req.cols();
    request.h = req.rows();
    request.rowTables = rs.separationTables.data();
    if (rs.reader == nullptr || rs.reader(request, rows, first) == 0) {
        FilterError("FilterArea: GetData returned FALSE\n");
        return false;
    }
    // The reader must have served every row, each holding the source row from column 0, so
    // that source column c is at index c. A row set narrower than the request would be read
    // past its end.
    for (std::uint8_t* row : rs.requestRows) {
        if (row == nullptr) {
            FilterError("FilterArea: GetData returned FALSE\n");
            return false;
        }
    }
    if (rows.rowBytes < static_cast<std::size_t>(req.endCol)) {
        FilterError("FilterArea: source rows of %zu bytes are narrower than the source (%d)\n",
                  rows.rowBytes, req.endCol);
        return false;
    }
    return true;
}

int ResampleLocked(const AreaDesc& destDesc, SourceRowSet& rows, int first) {
    ResampleState& rs = State();
    CommonFilterState& cs = FilterState();
    if (!rs.ready) {
        FilterError("FilterArea: filter not set up\n");
        return 0;
    }
    if (destDesc.x != rs.destX || destDesc.w != rs.destW || destDesc.y < 0 || destDesc.h < 0 ||
        destDesc.rowTables == nullptr || destDesc.rowTables[kSeparation] == nullptr) {
        FilterError("FilterArea: invalid band x=%d,y=%d,w=%d,h=%d for the output area x=%d,w=%d\n",
                  destDesc.x, destDesc.y, destDesc.w, destDesc.h, rs.destX, rs.destW);
        return 0;
    }
    const int w = destDesc.w;
    const int h = destDesc.h;
    if (w == 0 || h == 0)
        return 1;

    const int side = rs.doaverage ? cs.averageSize : 1;
    const SourceRequest req =
        ComputeResampleRequest(rs.geometry, destDesc.x, destDesc.y, w, h,
                               AveragingContextBefore(side), AveragingContextAfter(side));
    if (!FetchSource(rs, req, rows, first))
        return 0;
    if (cs.verbose != 0)
        FilterLog("FilterArea: got src data sep %d: %5.3f seconds\n", kSeparation,
                  SecondsSinceSetup(cs));

    if (!rs.columns.BuiltFor(destDesc.x, w) && !rs.columns.Build(rs.geometry, destDesc.x, w)) {
        FilterError("FilterArea: memory allocation failed\n");
        return 0;
    }

    // Averaging in place: the rows are the reader's expanded copies, valid until the next
    // request. The averager sees the block from column firstCol on, through a second table of
    // row pointers (the rescreen reads the first one meanwhile). With the rescreen's worker the
    // rows are averaged only as far as the rows prepared so far read them.
    if (rs.doaverage) {
        try {
            rs.averagedRows.assign(rs.requestRows.begin(), rs.requestRows.end());
        } catch (const std::exception&) {
            FilterError("FilterArea: memory allocation failed\n");
            return 0;
        }
        for (std::uint8_t*& row : rs.averagedRows) row += req.firstCol;
    }
    SourceAverager averager;
    bool averagerStarted = false;
    auto averageRows = [&](int count) {
        if (!rs.doaverage)
            return true;
        if (!averagerStarted) {
            if (!averager.Start(rs.averagedRows.data(), req.cols(), req.rows(), cs.averageSize,
                                rs.bitsPerSample == 1))
                return false;
            averagerStarted = true;
        }
        averager.AverageTo(count);
        return true;
    };

    SourceBlock src;
    src.rows = rs.requestRows.data();
    src.firstRow = req.firstRow;
    src.endRow = req.endRow;
    RescreenParams params;
    params.valueOf = rs.valueOf.data();
    params.low = cs.low;
    params.high = cs.high;
    params.middle = cs.middle;
    params.maxValue = cs.maxValue;
    params.noiseAmplitude = cs.noiseAmplitude;
    params.addnoise = cs.addnoise;
    params.diffusionType = cs.diffusionType;
    params.diffusionToggle = cs.diffusionToggle;
    params.randomReverse = rs.randomReverse;
    std::uint8_t* const* out = destDesc.rowTables[kSeparation];
    if (rs.bitsPerSample != 1) {
        if (!averageRows(req.rows()))
            return 0;
        GreyBand(rs.geometry, rs.columns, src, params, cs.random, out, destDesc.y, h);
    } else if (cs.diffusionType != kDiffusionTwoD) {
        if (!averageRows(req.rows()))
            return 0;
        RescreenBand(rs.geometry, rs.columns, src, params, cs.random, cs.errorRows, out, destDesc.y,
                     h);
    } else {
        if (cs.errorRows.width() < w) {
            FilterError("FilterArea: filter not set up\n");
            return 0;
        }
        // The diffusion is the serial part; everything else of the band goes to a worker.
        // Without memory for its rows or without a thread the band runs here, the same bits.
        const OverlapResult result =
            w < kOverlapWidth ? OverlapResult::kUnavailable
                              : RescreenBandOverlapped(averageRows, rs.geometry, rs.columns, src,
                                                       params, cs.random, cs.errorRows,
                                                       rs.rescreenWorker, out, destDesc.y, h);
        if (result == OverlapResult::kFailed)
            return 0;
        if (result == OverlapResult::kUnavailable) {
            if (!averageRows(req.rows()))
                return 0;
            RescreenBand(rs.geometry, rs.columns, src, params, cs.random, cs.errorRows, out,
                         destDesc.y, h);
        }
    }

    if (rs.doaverage && cs.verbose != 0)
        FilterLog("FilterArea: avg      data sep %d: %5.3f seconds\n", kSeparation,
                  SecondsSinceSetup(cs));

    // CacheActive asks for the last rows of a band to be copied back to a row cache. Nothing
    // is copied: the reader keeps the packed rows of overlapping requests itself and expands
    // them again for every request, so the averaging in place never changes what a later
    // band reads, and a copy-back would only cost time.
    if (cs.verbose != 0) {
        const double now = SecondsSinceSetup(cs);
        FilterLog("FilterArea: xfrm filtloop sep %d: %5.3f seconds\n", kSeparation, now);
        FilterLog(
            "FilterArea: filtering %5dx%5d pixels from (%5d,%5d) done in: %5.3f seconds "
            "(Doreschange=%d, doaverage=%d, addnoise=%d, Noiselevel=%.2f\n",
            w, h, destDesc.x, destDesc.y, now, rs.geometry.doreschange ? 1 : 0,
            rs.doaverage ? 1 : 0, cs.addnoise ? 1 : 0, static_cast<double>(cs.noiseAmplitude));
    }
    return 1;
}

}  // namespace

void SetSourceReader(GetDataFn reader) {
    std::lock_guard<std::mutex> lock(FilterMutex());
    State().reader = reader;
}

void SetRandomReverse(int randomReverse) {
    std::lock_guard<std::mutex> lock(FilterMutex());
    State().randomReverse = randomReverse != 0;
}

int InitResampleFilter(const AreaDesc& destDesc, SourceRowSet& /*rows*/, int& status) {
    std::lock_guard<std::mutex> lock(FilterMutex());
    return InitLocked(destDesc, status);
}

int DoFilterData(const AreaDesc& destDesc, int& status, SourceRowSet& rows, int first) {
    std::lock_guard<std::mutex> lock(FilterMutex());
    status = 1;
    if (destDesc.h == 0 || destDesc.w == 0)
        return 1;
    if (FilterState().verbose != 0)
        FilterLog("DoFilterData: DestDesc x=%d,y=%d,w=%d,h=%d\n", destDesc.x, destDesc.y,
                  destDesc.w, destDesc.h);
    const int result = ResampleLocked(destDesc, rows, first);
    if (result != 0)
        status = 0;
    return result;
}

int ResampleFilterArea(const AreaDesc& destDesc, SourceRowSet& rows, int first) {
    std::lock_guard<std::mutex> lock(FilterMutex());
    return ResampleLocked(destDesc, rows, first);
}

void ReleaseBandTables() {
    std::lock_guard<std::mutex> lock(FilterMutex());
    ResampleState& rs = State();
    rs.columns.Release();
    rs.rescreenWorker.Release();
    std::vector<std::uint8_t*>().swap(rs.requestRows);
    std::vector<std::uint8_t*>().swap(rs.averagedRows);
    rs.separationTables[0] = nullptr;
}

int MaxResampleRequestRows(const FilterSettings& settings, int bandRows) {
    const int side = settings.AverageFilterSize;
    const int context = AveragingContextBefore(side) + AveragingContextAfter(side);
    const double span = std::ceil(std::max(bandRows - 1, 0) * static_cast<double>(settings.ScaleY));
    // Sample span, the row below the last sample, one row for float rounding, the context.
    const double rows = span + 3.0 + context;
    if (!(rows < static_cast<double>(std::numeric_limits<int>::max())))
        return std::numeric_limits<int>::max();
    return static_cast<int>(rows);
}

}  // namespace vestrel
