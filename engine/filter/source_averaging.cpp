#include "engine/filter/source_averaging.h"

#include "engine/filter/box_averager.h"
#include "engine/filter/cross_average.h"

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
    if (rowCount <= 0 || width <= 0)
        return true;
    if (side <= 2)
        return CrossAverage3(rows, width, rowCount, bilevel) != 0;

    BoxAverager averager(side, width, 0, 256, bilevel);
    if (!averager.ok())
        return false;
    // Row k + half enters as row k leaves: the window of output row k is rows
    // k + half - n + 1 .. k + half, clipped to the block. The averager keeps its own copies,
    // so row k can be overwritten once it has entered.
    const int half = side / 2;
    for (int k = -half; k < rowCount; ++k) {
        const int entering = k + half;
        averager.push(entering < rowCount ? rows[entering] : nullptr, k >= 0 ? rows[k] : nullptr);
    }
    return true;
}

}  // namespace vestrel
