// The source rectangle a band of the dot-gain filter works on, and the steps that the
// estimation pass and the output pass both run on it: fetching the rows, the xfrm map and the
// averaging in place.
//
// Bands are seamless: the request is the band widened by M = max(xfrm half, averaging half
// + 1) rows and columns on every side (clipped to the image), which holds the whole xfrm
// window and averaging window of every band pixel. So every value a band pixel gets is the
// one it would get if the whole image were one band, and the statistics of the estimation
// bands match the levels and values of the output bands exactly.
#pragma once

#include <cstdint>

#include "engine/filter/area_desc.h"
#include "engine/filter/gain/gain_state.h"

namespace vestrel {

struct GainRequest {
    std::int32_t firstRow = 0;  // [firstRow, endRow) x [firstCol, endCol)
    std::int32_t endRow = 0;
    std::int32_t firstCol = 0;
    std::int32_t endCol = 0;

    std::int32_t rows() const { return endRow - firstRow; }
    std::int32_t cols() const { return endCol - firstCol; }
};

// M for the xfrm window and an averaging window of side n.
std::int32_t GainMargin(const XfrmLevels& xfrm, std::int32_t averageSize);

// The band widened by `margin` on every side, clipped to the source area of `gs`.
GainRequest GainRequestFor(const BandRect& band, std::int32_t margin, const GainFilterState& gs);

// Asks the reader for the request's rows into gs.requestRows. False after logging
// "<who>: GetData returned FALSE\n" (also when the reader served too little).
bool FetchGainRequest(GainFilterState& gs, const GainRequest& req, SourceRowSet& rows, int first,
                      const char* who);

// The fetched rows: whole source rows, indexed by image column.
RowView SourceView(const GainFilterState& gs, const GainRequest& req);
// The xfrm levels of the request, indexed by image column.
RowView XfrmView(const GainFilterState& gs, const GainRequest& req);

// The xfrm map of the request: the ink share of the S x S window around each pixel on the
// scale 0 .. L - 1 (BoxAverager, bilevel, 256 / D levels), written to gs.xfrmRows. False when
// memory is short.
bool BuildXfrmMap(GainFilterState& gs, const GainRequest& req);

// Averages the fetched rows in place over the request's columns (bilevel for 1-bit
// sources). False when memory is short.
bool AverageRequest(GainFilterState& gs, const GainRequest& req, std::int32_t averageSize,
                    bool bilevel);

}  // namespace vestrel
