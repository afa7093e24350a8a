#include "engine/filter/cross_average.h"

#include <cstring>
#include <exception>

namespace vestrel {

namespace {

// One output row from the unfiltered rows above (`up`), at (`cur`) and below (`down`); a
// row missing at the top or bottom is passed as an all-zero row, which counts nothing.
void BilevelRow(const std::uint8_t* up, const std::uint8_t* cur, const std::uint8_t* down,
                int width, std::uint8_t* out) {
    if (width == 1) {
        out[0] = static_cast<std::uint8_t>(5 * (cur[0] != 0) + (up[0] != 0) + (down[0] != 0));
        return;
    }
    const int last = width - 1;
    out[0] = static_cast<std::uint8_t>(5 * (cur[0] != 0) + (up[0] != 0) + (down[0] != 0) +
                                       (cur[1] != 0));
    for (int x = 1; x < last; ++x) {
        out[x] = static_cast<std::uint8_t>(5 * (cur[x] != 0) + (up[x] != 0) + (down[x] != 0) +
                                           (cur[x - 1] != 0) + (cur[x + 1] != 0));
    }
    out[last] = static_cast<std::uint8_t>(5 * (cur[last] != 0) + (up[last] != 0) +
                                          (down[last] != 0) + (cur[last - 1] != 0));
}

// Grey: weighted mean with the pixel counting four times; `k` neighbours give the divisor
// 4 + k and the rounding term (4 + k) / 2.
inline std::uint8_t GreyValue(int neighbourSum, int centre, int k) {
    const int d = 4 + k;
    return static_cast<std::uint8_t>((neighbourSum + 4 * centre + d / 2) / d);
}

// `verticalNeighbours` counts the real rows among `up` and `down` (a missing one is zero).
void GreyRow(const std::uint8_t* up, const std::uint8_t* cur, const std::uint8_t* down,
             int verticalNeighbours, int width, std::uint8_t* out) {
    if (width == 1) {
        out[0] = GreyValue(up[0] + down[0], cur[0], verticalNeighbours);
        return;
    }
    const int last = width - 1;
    const int kEdge = verticalNeighbours + 1;
    out[0] = GreyValue(up[0] + down[0] + cur[1], cur[0], kEdge);
    if (verticalNeighbours == 2) {
        // Interior row: the common case, division by 8 as a shift.
        for (int x = 1; x < last; ++x) {
            const int sum = up[x] + down[x] + cur[x - 1] + cur[x + 1] + 4 * cur[x] + 4;
            out[x] = static_cast<std::uint8_t>(sum >> 3);
        }
    } else {
        const int k = verticalNeighbours + 2;
        for (int x = 1; x < last; ++x)
            out[x] = GreyValue(up[x] + down[x] + cur[x - 1] + cur[x + 1], cur[x], k);
    }
    out[last] = GreyValue(up[last] + down[last] + cur[last - 1], cur[last], kEdge);
}

}  // namespace

bool CrossAverager::Start(std::uint8_t* const* rows, int width, int rowCount, bool bilevel) {
    rows_ = rows;
    width_ = width;
    rowCount_ = rowCount;
    bilevel_ = bilevel;
    next_ = 0;
    final_ = 0;
    if (width <= 0 || rowCount <= 0) {
        final_ = rowCount_ = rowCount > 0 ? rowCount : 0;
        return true;
    }
    // Two result rows (row r is written back only after row r + 1 has been computed, because
    // row r + 1 still needs the unfiltered row r) and one zero row standing in for the
    // missing neighbours above the first and below the last row.
    try {
        scratch_.assign(3 * static_cast<std::size_t>(width), 0);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void CrossAverager::AverageTo(int count) {
    const auto w = static_cast<std::size_t>(width_);
    std::uint8_t* const results[2] = {scratch_.data(), scratch_.data() + w};
    const std::uint8_t* const zero = scratch_.data() + 2 * w;
    count = count < rowCount_ ? count : rowCount_;
    while (final_ < count) {
        const int r = next_;
        if (r == rowCount_) {
            std::memcpy(rows_[r - 1], results[(r - 1) & 1], w);
            final_ = r;
            break;
        }
        const bool hasUp = r > 0;
        const bool hasDown = r + 1 < rowCount_;
        const std::uint8_t* up = hasUp ? rows_[r - 1] : zero;
        const std::uint8_t* down = hasDown ? rows_[r + 1] : zero;
        std::uint8_t* out = results[r & 1];
        if (bilevel_)
            BilevelRow(up, rows_[r], down, width_, out);
        else
            GreyRow(up, rows_[r], down, int{hasUp} + int{hasDown}, width_, out);
        if (hasUp) {
            std::memcpy(rows_[r - 1], results[(r - 1) & 1], w);
            final_ = r;
        }
        next_ = r + 1;
    }
}

int CrossAverage3(std::uint8_t* const* rows, int width, int rowCount, bool bilevel) {
    CrossAverager averager;
    if (!averager.Start(rows, width, rowCount, bilevel))
        return 0;
    averager.AverageTo(rowCount);
    return 1;
}

}  // namespace vestrel
