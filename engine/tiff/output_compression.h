// The compression a writer of 1-bit output uses, and the engine's setting codes for it.
#pragma once

#include <cstdint>

namespace vestrel {

struct OutputCompression {
    std::uint16_t scheme = 4;    // TIFF Compression value (4 = CCITT Group 4)
    bool group4Options = false;  // Group 4 only: write Group4Options 0 as well
};

// Compression for the engine's "Compression" setting: 0 none, 1 PackBits, 2 LZW,
// 3 CCITT Group 3; any other value CCITT Group 4 with Group4Options 0.
OutputCompression CompressionForSetting(int setting);

// The main program's pass-through merge: CCITT Group 4 without a Group4Options tag.
inline constexpr OutputCompression kPassThroughCompression{4, false};

}  // namespace vestrel
