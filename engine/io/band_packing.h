// Packing of filtered rows (one byte per pixel, 128 and above black) into 1-bit rows, most
// significant bit first, 1 = black.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vestrel {

// Packs `count` samples into ceil(count / 8) bytes at `out`; the spare low bits of a final
// partial byte are 0.
void PackRow(const std::uint8_t* samples, std::size_t count, std::uint8_t* out);

// Packs one scaled row of `scaledW` samples onto a canvas row of `canvasW` pixels
// (`canvasRowBytes` bytes, already cleared) at horizontal offset `xOff`:
//   xOff >= 0: starting at byte (xOff + 7) / 8 of the canvas row (placement rounded up to a
//              whole byte); samples beyond the canvas row are dropped;
//   xOff < 0:  starting at byte 0 with sample -xOff; the row is cropped to the canvas.
void PackRowOnCanvas(const std::uint8_t* samples, std::uint32_t scaledW, std::int64_t xOff,
                     std::uint32_t canvasW, std::size_t canvasRowBytes, std::uint8_t* canvasRow);

// Inverts `count` bytes in place.
void InvertBytes(std::uint8_t* data, std::size_t count);

}  // namespace vestrel
