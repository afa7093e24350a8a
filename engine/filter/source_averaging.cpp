#include "engine/filter/source_averaging.h"

namespace vestrel {

// The box window of row k spans rows k - (n - 1 - n/2) .. k + n/2, and likewise for columns;
// the cross needs one pixel on either side.
int AveragingContextBefore(int side) {
    if (side <= 1)
        return 0;
    if (side <= 2)
        return 1;
    return side - 1 - side / 2;
}

int AveragingContextAfter(int side) {
    if (side <= 1)
        return 0;
    if (side <= 2)
        return 1;
    return side / 2;
}

bool AverageRowsInPlace(std::uint8_t* const* rows, int width, int rowCount, int side,
                        bool bilevel) {
    SourceAverager averager;
    if (!averager.Start(rows, width, rowCount, side, bilevel))
        return false;
    averager.AverageTo(rowCount);
    return true;
}

bool SourceAverager::Start(std::uint8_t* const* rows, int width, int rowCount, int side,
                           bool bilevel) {
    rows_ = rows;
    rowCount_ = rowCount > 0 && width > 0 ? rowCount : 0;
    box_.reset();
    if (side <= 2)
        return cross_.Start(rows, width, rowCount_, bilevel);
    box_.emplace(side, width, 0, 256, bilevel);
    // Row k + half enters as row k leaves: the window of output row k is rows
    // k + half - n + 1 .. k + half, clipped to the block. The averager keeps its own copies,
    // so row k can be overwritten once it has entered.
    half_ = side / 2;
    next_ = -half_;
    return rowCount_ == 0 || box_->ok();
}

void SourceAverager::AverageTo(int count) {
    if (!box_) {
        cross_.AverageTo(count);
        return;
    }
    if (rowCount_ == 0)
        return;
    count = count < rowCount_ ? count : rowCount_;
    for (; next_ < count; ++next_) {
        const int entering = next_ + half_;
        box_->push(entering < rowCount_ ? rows_[entering] : nullptr,
                   next_ >= 0 ? rows_[next_] : nullptr);
    }
}

}  // namespace vestrel
