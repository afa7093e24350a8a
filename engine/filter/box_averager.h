// Running square-window average of byte-per-pixel rows (descreening of a halftone, and the
// coarse tone map of the dot-gain filter).
#pragma once

#include <cstdint>
#include <vector>

namespace vestrel {

// Rows enter one at a time (push); each push can also produce one averaged row from the rows
// currently in the window. The window is n rows by n columns; near the left and right edges of
// a row and while the window is not yet full (or is being drained) the window is clipped and
// the value is normalised by the number of pixels actually covered, so a uniform area keeps its
// value up to the border.
//
// Cost is O(1) per pixel whatever n is: the column sums are updated by one add and one
// subtract per column and row, and the horizontal sweep by one add and one subtract per pixel.
class BoxAverager {
  public:
    // side: window side n in pixels and rows (at least 1).
    // width: row width in pixels.
    // bias: offset of the levels (0 in this system).
    // levels: number of output levels, clamped to 1..256; the largest output value is
    //         min(bias + n*n, levels - 1). A bilevel value is the black share of the window
    //         scaled to it, (count * max + pixels / 2) / pixels, which is the count itself for
    //         a complete window whose n*n pixels fit the levels.
    // bilevel: true when rows enter as 0/1 (any non-zero pixel counts as 1); false when they
    //          enter with their byte values (the output is then the rounded mean).
    BoxAverager(int side, int width, int bias, int levels, bool bilevel);

    // False when the buffers could not be allocated or the arguments are unusable; the caller
    // treats that as failure and must not push.
    bool ok() const { return ok_; }

    // source: the next row of `width` bytes entering the window, or nullptr when the window
    // moves on past the last row (the oldest row then leaves once the window spans n rows).
    // destination: where to write one averaged row, or nullptr for none. The destination may be one
    // of the rows pushed earlier (the window keeps copies), which is what makes averaging in place
    // possible.
    void push(const std::uint8_t* source, std::uint8_t* destination);

    int maxLevel() const { return maxLevel_; }
    int rowsInWindow() const { return rowsInWindow_; }

  private:
    void Produce(std::uint8_t* destination) const;

    bool ok_ = false;
    int side_ = 0;
    int width_ = 0;
    int maxLevel_ = 0;
    int leftHalf_ = 0;   // columns left of the centre
    int rightHalf_ = 0;  // columns right of the centre
    bool bilevel_ = false;
    int rowsInWindow_ = 0;
    // Row positions the window spans: its rows plus the positions past the last row that
    // draining has moved it over. The oldest row leaves only once the span reaches n, so the
    // window of every output row is exactly its n rows clipped to the image, also when the
    // image has fewer rows than n.
    int positions_ = 0;

    // n window rows of `width` bytes, oldest first; the ring rotates by moving pointers.
    std::vector<std::uint8_t> ringStorage_;
    std::vector<std::uint8_t*> ring_;
    // Per column, the sum of the rows in the window (at most n * 255 per column).
    std::vector<std::int32_t> columnSums_;
    // Output of a complete n x n window indexed by its sum: removes the division from the
    // interior of full rows. Empty when the sum range is too large for a table.
    std::vector<std::uint8_t> fullWindowValue_;
};

}  // namespace vestrel
