// Expansion of packed 1-bit rows (most significant bit first) into one byte per pixel:
// bit 1 -> 0xFF (black), bit 0 -> 0x00 (white).
#pragma once

#include <cstddef>
#include <cstdint>

namespace vestrel {

// Writes `width` samples to `out` from the (width + 7) / 8 bytes at `packed`.
void ExpandRow(const std::uint8_t* packed, std::size_t width, std::uint8_t* out);

}  // namespace vestrel
