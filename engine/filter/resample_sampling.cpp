#include "engine/filter/resample_sampling.h"

#include <algorithm>
#include <cmath>

namespace vestrel {

namespace {

// Index in the block of source row `row`, clamped to the block.
std::int64_t BlockIndex(const SourceBlock& src, std::int64_t row) {
    return std::clamp<std::int64_t>(row, src.firstRow, src.endRow - 1) - src.firstRow;
}

const std::uint8_t* BlockRow(const SourceBlock& src, std::int64_t row) {
    return src.rows[BlockIndex(src, row)];
}

// Source row of output row Y (before clamping): the one at or above the sample position.
std::int64_t FirstSampledRow(const ResampleGeometry& g, std::int64_t y) {
    return g.doreschange ? FloorToInt(SourceRowPosition(g, y)) : y + g.rowOffset;
}

}  // namespace

RowSample SampleRows(const ResampleGeometry& g, const SourceBlock& src, std::int64_t y) {
    RowSample s;
    if (!g.doreschange) {
        s.row0 = BlockRow(src, FirstSampledRow(g, y));
        s.row1 = s.row0;
        return s;
    }
    const float position = SourceRowPosition(g, y);
    const std::int64_t r0 = FirstSampledRow(g, y);
    s.row0 = BlockRow(src, r0);
    s.row1 = BlockRow(src, r0 + 1);
    s.fy = position - std::floor(position);
    s.gy = 1.0f - s.fy;
    return s;
}

int SampledBlockRows(const ResampleGeometry& g, const SourceBlock& src, std::int64_t y) {
    const std::int64_t r0 = FirstSampledRow(g, y);
    const std::int64_t last = g.doreschange ? r0 + 1 : r0;
    return static_cast<int>(std::max(BlockIndex(src, r0), BlockIndex(src, last)) + 1);
}

}  // namespace vestrel
