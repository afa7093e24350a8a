#include "engine/filter/gain/gain_band.h"

#include <algorithm>
#include <exception>

#include "engine/filter/box_averager.h"
#include "engine/filter/filter_log.h"
#include "engine/filter/source_averaging.h"

namespace vestrel {

std::int32_t GainMargin(const XfrmLevels& xfrm, std::int32_t averageSize) {
    return std::max(xfrm.half, std::max(averageSize, 1) / 2 + 1);
}

GainRequest GainRequestFor(const BandRect& band, std::int32_t margin, const GainFilterState& gs) {
    const std::int64_t m = margin;
    auto clampTo = [](std::int64_t v, std::int32_t lo, std::int32_t hi) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, lo, hi));
    };
    GainRequest req;
    req.firstRow = clampTo(std::int64_t{band.y} - m, gs.sourceTop, gs.sourceBottom);
    req.endRow = clampTo(std::int64_t{band.y} + band.h + m, gs.sourceTop, gs.sourceBottom);
    req.firstCol = clampTo(std::int64_t{band.x} - m, gs.sourceLeft, gs.sourceRight);
    req.endCol = clampTo(std::int64_t{band.x} + band.w + m, gs.sourceLeft, gs.sourceRight);
    return req;
}

bool FetchGainRequest(GainFilterState& gs, const GainRequest& req, SourceRowSet& rows, int first,
                      const char* who) {
    try {
        gs.requestRows.assign(static_cast<std::size_t>(req.rows()), nullptr);
    } catch (const std::exception&) {
        FilterError("%s: memory allocation failed\n", who);
        return false;
    }
    gs.separationTables[0] = gs.requestRows.data();

    AreaDesc request;
    request.imageWidth = static_cast<std::uint32_t>(gs.sourceRight);
    request.imageHeight = static_cast<std::uint32_t>(gs.sourceBottom);
    request.separations = 1;  // one row table is provided
    request.present = 1;
    request.x = req.firstCol;
    request.y = req.firstRow;
    request.w = req.cols();
    request.h = req.rows();
    request.rowTables = gs.separationTables.data();
    bool served = gs.reader != nullptr && gs.reader(request, rows, first) != 0;
    // Every row must be there, each the whole source row from column 0: a row set narrower
    // than the request would be read past its end.
    served = served && rows.rowBytes >= static_cast<std::size_t>(req.endCol);
    for (const std::uint8_t* row : gs.requestRows) served = served && row != nullptr;
    if (!served) {
        FilterError("%s: GetData returned FALSE\n", who);
        return false;
    }
    return true;
}

RowView SourceView(const GainFilterState& gs, const GainRequest& req) {
    RowView v;
    v.rows = gs.requestRows.data();
    v.top = req.firstRow;
    v.left = 0;
    return v;
}

RowView XfrmView(const GainFilterState& gs, const GainRequest& req) {
    RowView v;
    v.rows = gs.xfrmRows.data();
    v.top = req.firstRow;
    v.left = req.firstCol;
    return v;
}

bool BuildXfrmMap(GainFilterState& gs, const GainRequest& req) {
    const auto rows = static_cast<std::size_t>(req.rows());
    const auto cols = static_cast<std::size_t>(req.cols());
    try {
        if (gs.xfrmStorage.size() < rows * cols)
            gs.xfrmStorage.resize(rows * cols);
        gs.xfrmRows.resize(rows);
    } catch (const std::exception&) {
        return false;
    }
    for (std::size_t k = 0; k < rows; ++k) gs.xfrmRows[k] = gs.xfrmStorage.data() + k * cols;

    const int side = gs.xfrm.window;
    BoxAverager averager(side, req.cols(), 0, 256 / gs.xfrm.divisor, true);
    if (!averager.ok())
        return false;
    // Row k + half enters as row k is written: the window of row k spans rows
    // k + half - S + 1 .. k + half, clipped to the request.
    const int half = side / 2;
    const int count = req.rows();
    for (int k = -half; k < count; ++k) {
        const int entering = k + half;
        averager.push(entering < count
                          ? gs.requestRows[static_cast<std::size_t>(entering)] + req.firstCol
                          : nullptr,
                      k >= 0 ? gs.xfrmRows[static_cast<std::size_t>(k)] : nullptr);
    }
    return true;
}

bool AverageRequest(GainFilterState& gs, const GainRequest& req, std::int32_t averageSize,
                    bool bilevel) {
    // The averager works on the request's columns: the row pointers are moved there for it
    // and back afterwards.
    for (std::uint8_t*& row : gs.requestRows) row += req.firstCol;
    const bool averaged =
        AverageRowsInPlace(gs.requestRows.data(), req.cols(), req.rows(), averageSize, bilevel);
    for (std::uint8_t*& row : gs.requestRows) row -= req.firstCol;
    return averaged;
}

}  // namespace vestrel
