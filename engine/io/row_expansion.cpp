#include "engine/io/row_expansion.h"

#include <array>
#include <cstring>

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
    for (std::size_t i = 0; i < whole; ++i, out += 8) {
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
