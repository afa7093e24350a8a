#include "engine/io/row_expansion.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/engine/test_tiff_image.h"

namespace vestrel {
namespace {

// Every width from 1 to 80 over rows mixing solid bytes (fast paths) and random ones must
// match the bit-by-bit expansion, and nothing beyond `width` may be written.
TEST(RowExpansionTest, MatchesBitByBitExpansionForEveryWidth) {
    std::mt19937 rng(7);
    for (std::uint32_t width = 1; width <= 80; ++width) {
        std::vector<std::uint8_t> packed((width + 7) / 8);
        for (std::size_t i = 0; i < packed.size(); ++i) {
            const unsigned kind = rng() % 3;
            packed[i] = kind == 0 ? 0x00 : kind == 1 ? 0xFF : static_cast<std::uint8_t>(rng());
        }
        std::vector<std::uint8_t> out(width + 8, 0x55);
        ExpandRow(packed.data(), width, out.data());
        const std::vector<std::uint8_t> want = testing::ExpectedSamples(packed, width);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), out.begin())) << "width " << width;
        for (std::size_t i = width; i < out.size(); ++i) ASSERT_EQ(out[i], 0x55) << width;
    }
}

TEST(RowExpansionTest, Width1001TakesTheLastSampleFromTheMostSignificantBitOfByte126) {
    std::vector<std::uint8_t> packed(126, 0x00);
    packed[125] = 0x80;
    std::vector<std::uint8_t> out(1001);
    ExpandRow(packed.data(), 1001, out.data());
    EXPECT_EQ(out[1000], 0xFF);
    EXPECT_EQ(out[999], 0x00);
}

}  // namespace
}  // namespace vestrel
