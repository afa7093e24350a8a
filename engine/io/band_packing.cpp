#include "engine/io/band_packing.h"

#include <algorithm>
#include <cstring>

namespace vestrel {

void PackRow(const std::uint8_t* samples, std::size_t count, std::uint8_t* out) {
    const std::size_t whole = count / 8;
    for (std::size_t b = 0; b < whole; ++b) {
        const std::uint8_t* s = samples + b * 8;
        // Bit 7 of each sample is its black bit (samples of 128 and above are black).
        out[b] = static_cast<std::uint8_t>((s[0] & 0x80) | ((s[1] & 0x80) >> 1) |
                                           ((s[2] & 0x80) >> 2) | ((s[3] & 0x80) >> 3) |
                                           ((s[4] & 0x80) >> 4) | ((s[5] & 0x80) >> 5) |
                                           ((s[6] & 0x80) >> 6) | ((s[7] & 0x80) >> 7));
    }
    const std::size_t rest = count % 8;
    if (rest != 0) {
        std::uint8_t byte = 0;
        for (std::size_t i = 0; i < rest; ++i)
            byte |= static_cast<std::uint8_t>((samples[whole * 8 + i] & 0x80) >> i);
        out[whole] = byte;
    }
}

void PackRowOnCanvas(const std::uint8_t* samples, std::uint32_t scaledW, std::int64_t xOff,
                     std::uint32_t canvasW, std::size_t canvasRowBytes, std::uint8_t* canvasRow) {
    std::size_t startByte = 0;
    std::size_t firstSample = 0;
    if (xOff >= 0) {
        startByte = static_cast<std::size_t>((xOff + 7) / 8);
    } else {
        firstSample = static_cast<std::size_t>(-xOff);
    }
    if (startByte >= canvasRowBytes || firstSample >= scaledW) return;
    // Room left on the canvas row from the start byte, in pixels; never past the canvas.
    const std::size_t room = std::min<std::size_t>(
        (canvasRowBytes - startByte) * 8,
        canvasW > startByte * 8 ? canvasW - startByte * 8 : 0);
    const std::size_t count = std::min<std::size_t>(scaledW - firstSample, room);
    PackRow(samples + firstSample, count, canvasRow + startByte);
}

void InvertBytes(std::uint8_t* data, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) data[i] = static_cast<std::uint8_t>(~data[i]);
}

}  // namespace vestrel
