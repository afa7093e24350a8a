#include "engine/filter/box_averager.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace vestrel {

namespace {

// Largest lookup table of full-window values we build (entries = largest full-window sum + 1).
// Grey windows up to 64 x 64 fit; larger windows fall back to the division.
constexpr std::int64_t kMaxTableEntries = std::int64_t{1} << 20;

}  // namespace

BoxAverager::BoxAverager(int side, int width, int bias, int levels, bool bilevel)
    : side_(side), width_(width), bilevel_(bilevel) {
    if (side < 1 || width < 0)
        return;
    levels = std::clamp(levels, 1, 256);
    const std::int64_t area = std::int64_t{side} * side;
    maxLevel_ = static_cast<int>(std::min<std::int64_t>(bias + area, levels - 1));
    leftHalf_ = (side - 1) / 2;
    rightHalf_ = side - 1 - leftHalf_;

    const std::int64_t fullSumMax = area * (bilevel ? 1 : 255);
    try {
        ringStorage_.assign(static_cast<std::size_t>(side) * static_cast<std::size_t>(width), 0);
        ring_.resize(static_cast<std::size_t>(side));
        for (int k = 0; k < side; ++k)
            ring_[static_cast<std::size_t>(k)] =
                ringStorage_.data() + static_cast<std::size_t>(k) * static_cast<std::size_t>(width);
        // Zero padding of leftHalf columns before and rightHalf + 1 after the row lets the
        // horizontal sweep add and subtract without testing for the row ends.
        columnSums_.assign(static_cast<std::size_t>(width) + static_cast<std::size_t>(side), 0);
        if (fullSumMax + 1 <= kMaxTableEntries) {
            fullWindowValue_.resize(static_cast<std::size_t>(fullSumMax + 1));
            for (std::int64_t a = 0; a <= fullSumMax; ++a) {
                const std::int64_t v =
                    bilevel ? (a * maxLevel_ + area / 2) / area : (a + area / 2) / area;
                fullWindowValue_[static_cast<std::size_t>(a)] = static_cast<std::uint8_t>(v);
            }
        }
    } catch (const std::exception&) {
        return;  // allocation failed: ok_ stays false
    }
    ok_ = true;
}

void BoxAverager::push(const std::uint8_t* source, std::uint8_t* destination) {
    if (!ok_)
        return;
    std::int32_t* sums = columnSums_.data() + leftHalf_;
    const auto width = static_cast<std::size_t>(width_);
    if (source != nullptr) {
        std::uint8_t* slot = nullptr;
        if (rowsInWindow_ == side_) {
            // Full window: the oldest row leaves and its buffer takes the new row, so one pass
            // over the columns both subtracts the old and adds the new values.
            slot = ring_.front();
            std::rotate(ring_.begin(), ring_.begin() + 1, ring_.end());
            if (bilevel_) {
                for (std::size_t x = 0; x < width; ++x) {
                    const std::uint8_t v = source[x] != 0 ? 1 : 0;
                    sums[x] += v - slot[x];
                    slot[x] = v;
                }
            } else {
                for (std::size_t x = 0; x < width; ++x) {
                    sums[x] += source[x] - slot[x];
                    slot[x] = source[x];
                }
            }
        } else {
            slot = ring_[static_cast<std::size_t>(rowsInWindow_)];
            ++rowsInWindow_;
            if (bilevel_) {
                for (std::size_t x = 0; x < width; ++x) {
                    const std::uint8_t v = source[x] != 0 ? 1 : 0;
                    sums[x] += v;
                    slot[x] = v;
                }
            } else {
                for (std::size_t x = 0; x < width; ++x) {
                    sums[x] += source[x];
                    slot[x] = source[x];
                }
            }
        }
        positions_ = rowsInWindow_;
    } else if (positions_ < side_) {
        // Draining a window that never filled (fewer rows than the side): the window moves
        // down past the last row, but its top row is still inside it and stays.
        ++positions_;
    } else if (rowsInWindow_ > 0) {
        const std::uint8_t* oldest = ring_.front();
        for (std::size_t x = 0; x < width; ++x) sums[x] -= oldest[x];
        std::rotate(ring_.begin(), ring_.begin() + 1, ring_.end());
        --rowsInWindow_;
    }
    if (destination != nullptr)
        Produce(destination);
}

void BoxAverager::Produce(std::uint8_t* destination) const {
    const int w = width_;
    if (w == 0)
        return;
    if (rowsInWindow_ == 0) {
        std::memset(destination, 0, static_cast<std::size_t>(w));
        return;
    }
    // padded[i] is the column sum of column i - leftHalf (zero outside the row), so the window
    // of output column x is padded[x .. x + side - 1].
    const std::int32_t* padded = columnSums_.data();
    const int n = side_;
    const std::int64_t rows = rowsInWindow_;
    const std::int64_t maxLevel = maxLevel_;
    const bool bilevel = bilevel_;
    auto value = [rows, maxLevel, bilevel](std::int64_t a, std::int64_t columns) {
        const std::int64_t p = rows * columns;  // pixels in the clipped window
        return static_cast<std::uint8_t>(bilevel ? (a * maxLevel + p / 2) / p : (a + p / 2) / p);
    };
    auto coveredColumns = [this, w](int x) {
        return std::min(x + rightHalf_, w - 1) - std::max(x - leftHalf_, 0) + 1;
    };

    std::int64_t a = 0;
    for (int i = 0; i < n; ++i) a += padded[i];

    // Columns whose window reaches past an end of the row; the interior lies between them.
    const int interiorBegin = std::min(leftHalf_, w);
    const int interiorEnd = std::max(w - rightHalf_, interiorBegin);
    int x = 0;
    for (; x < interiorBegin; ++x) {
        destination[x] = value(a, coveredColumns(x));
        a += padded[x + n] - padded[x];
    }
    if (rows == n && !fullWindowValue_.empty()) {
        const std::uint8_t* table = fullWindowValue_.data();
        for (; x < interiorEnd; ++x) {
            destination[x] = table[a];
            a += padded[x + n] - padded[x];
        }
    } else {
        for (; x < interiorEnd; ++x) {
            destination[x] = value(a, n);
            a += padded[x + n] - padded[x];
        }
    }
    for (; x < w; ++x) {
        destination[x] = value(a, coveredColumns(x));
        a += padded[x + n] - padded[x];  // padded has side entries past the row
    }
}

}  // namespace vestrel
