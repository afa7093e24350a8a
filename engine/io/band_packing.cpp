#include "engine/io/band_packing.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vestrel {

namespace {

// Each byte value with its bits in reverse order.
constexpr std::array<std::uint8_t, 256> BuildReversed() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned v = 0; v < 256; ++v) {
        unsigned r = 0;
        for (unsigned bit = 0; bit < 8; ++bit)
            if ((v & (1u << bit)) != 0)
                r |= 0x80u >> bit;
        table[v] = static_cast<std::uint8_t>(r);
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> kReversed = BuildReversed();

}  // namespace

void PackRow(const std::uint8_t* samples, std::size_t count, std::uint8_t* out) {
    const std::size_t whole = count / 8;
    std::size_t b = 0;
#if defined(__SSE2__)
    // Sixteen samples at a time: the mask of their top bits has sample i in bit i, so each of
    // its bytes is a packed byte with the bits in reverse order.
    for (; b + 2 <= whole; b += 2) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + b * 8));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(s));
        out[b] = kReversed[mask & 0xFFu];
        out[b + 1] = kReversed[mask >> 8];
    }
#endif
    for (; b < whole; ++b) {
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
