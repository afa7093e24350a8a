// Margins of the input image kept aside while the image is resampled, so that they can be
// written back byte-exact into the finished output. The source-row reader fills the store
// (in the polarity the output will have); the margin restoration reads it.
#pragma once

#include <cstdint>
#include <vector>

namespace vestrel {

struct MarginStore {
    std::uint32_t rowBytes = 0;    // packed bytes per row of the image the store came from
    std::uint32_t topRows = 0;     // first rows of the image, whole rows
    std::uint32_t bottomRows = 0;  // last rows of the image, whole rows
    std::uint32_t leftBytes = 0;   // first bytes of every row
    std::uint32_t rightBytes = 0;  // last bytes of every row
    std::vector<std::uint8_t> top;     // topRows * rowBytes, in row order
    std::vector<std::uint8_t> bottom;  // bottomRows * rowBytes, in row order
    std::vector<std::uint8_t> left;    // imageHeight * leftBytes, row-major
    std::vector<std::uint8_t> right;   // imageHeight * rightBytes, row-major
    std::uint32_t bottomSlot = 0;      // next row of `bottom` to be filled while reading

    // Forgets every margin (sizes 0, buffers released).
    void Clear() { *this = MarginStore(); }
};

}  // namespace vestrel
