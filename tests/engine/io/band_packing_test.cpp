#include "engine/io/band_packing.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vestrel {
namespace {

// Samples from a string: '#' black (255), '+' black (128), anything else white.
std::vector<std::uint8_t> Samples(const std::string& s) {
    std::vector<std::uint8_t> v;
    for (char c : s) v.push_back(c == '#' ? 255 : c == '+' ? 128 : c == '-' ? 127 : 0);
    return v;
}

TEST(BandPacking, MostSignificantBitFirstAndSpareBitsZero) {
    const auto s = Samples("#.+-....#.#");  // 11 samples
    std::vector<std::uint8_t> out(2, 0xAA);
    PackRow(s.data(), s.size(), out.data());
    EXPECT_EQ(out[0], 0xA0);  // 1010 0000
    EXPECT_EQ(out[1], 0xA0);  // #.# and five spare zero bits
}

TEST(BandPacking, SixteenAtATimeMatchesSampleBySample) {
    // Rows of every length around the sixteen-sample steps, with samples just below and at
    // the black limit of 128.
    std::mt19937 gen(7);
    const std::uint8_t values[] = {0, 1, 127, 128, 129, 255};
    for (std::size_t count :
         {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 23u, 24u, 31u, 32u, 33u, 47u, 48u, 1000u}) {
        std::vector<std::uint8_t> s(count);
        for (auto& v : s) v = values[gen() % 6];
        std::vector<std::uint8_t> expected((count + 7) / 8, 0);
        for (std::size_t i = 0; i < count; ++i)
            if (s[i] >= 128)
                expected[i / 8] = static_cast<std::uint8_t>(expected[i / 8] | (0x80 >> (i % 8)));
        std::vector<std::uint8_t> out((count + 7) / 8, 0x5A);
        PackRow(s.data(), count, out.data());
        EXPECT_EQ(out, expected) << count << " samples";
    }
}

TEST(BandPacking, CanvasPlacementIsRoundedUpToAByte) {
    const auto s = Samples("########");
    std::vector<std::uint8_t> canvas(4, 0);
    PackRowOnCanvas(s.data(), 8, 3, 32, 4, canvas.data());
    EXPECT_EQ(canvas, (std::vector<std::uint8_t>{0x00, 0xFF, 0x00, 0x00}));
}

TEST(BandPacking, SamplesBeyondTheCanvasAreDropped) {
    const auto s = Samples("################");
    std::vector<std::uint8_t> canvas(2, 0);
    // Canvas of 12 pixels: bits beyond pixel 12 stay clear.
    PackRowOnCanvas(s.data(), 16, 8, 12, 2, canvas.data());
    EXPECT_EQ(canvas, (std::vector<std::uint8_t>{0x00, 0xF0}));
}

TEST(BandPacking, NegativeOffsetCropsTheScaledRow) {
    // 20 samples, the first 4 cut away, the next 16 fill the canvas.
    const auto s = Samples("####........########");
    std::vector<std::uint8_t> canvas(2, 0);
    PackRowOnCanvas(s.data(), 20, -4, 16, 2, canvas.data());
    EXPECT_EQ(canvas, (std::vector<std::uint8_t>{0x00, 0xFF}));
}

TEST(BandPacking, OffsetsPastTheCanvasWriteNothing) {
    const auto s = Samples("########");
    std::vector<std::uint8_t> canvas(2, 0);
    PackRowOnCanvas(s.data(), 8, 16, 16, 2, canvas.data());
    PackRowOnCanvas(s.data(), 8, -8, 16, 2, canvas.data());
    EXPECT_EQ(canvas, (std::vector<std::uint8_t>{0x00, 0x00}));
}

}  // namespace
}  // namespace vestrel
