#include "engine/io/row_expansion.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vestrel {
namespace {

// The eight samples of every byte value, in memory order.
using Samples = std::array<std::uint8_t, 8>;

constexpr std::array<Samples, 256> BuildTable() {
    std::array<Samples, 256> table{};
    for (unsigned v = 0; v < 256; ++v)
        for (unsigned bit = 0; bit < 8; ++bit)
            table[v][bit] = (v & (0x80u >> bit)) != 0 ? 0xFF : 0x00;
    return table;
}

constexpr std::array<Samples, 256> kTable = BuildTable();

}  // namespace

void ExpandRow(const std::uint8_t* packed, std::size_t width, std::uint8_t* out) {
    const std::size_t whole = width / 8;
    std::size_t i = 0;
#if defined(__SSE2__)
    // Two packed bytes at a time, without a branch: each byte is spread over eight lanes, and
    // a lane becomes 0xFF when its bit (0x80 for the first pixel .. 0x01 for the last) is set.
    const __m128i bits = _mm_set_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
    for (; i + 2 <= whole; i += 2, out += 16) {
        std::uint16_t pair = 0;
        std::memcpy(&pair, packed + i, 2);
        __m128i v = _mm_cvtsi32_si128(pair);
        v = _mm_unpacklo_epi8(v, v);
        v = _mm_unpacklo_epi16(v, v);
        v = _mm_unpacklo_epi32(v, v);
        v = _mm_cmpeq_epi8(_mm_and_si128(v, bits), bits);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
    }
#endif
    for (; i < whole; ++i, out += 8) {
        const std::uint8_t b = packed[i];
        // Plates are mostly paper and solid: all-white and all-black bytes are one store.
        if (b == 0x00) {
            std::memset(out, 0x00, 8);
        } else if (b == 0xFF) {
            std::memset(out, 0xFF, 8);
        } else {
            std::memcpy(out, kTable[b].data(), 8);
        }
    }
    const std::size_t rest = width % 8;
    if (rest != 0)
        std::memcpy(out, kTable[packed[whole]].data(), rest);
}

}  // namespace vestrel
