// The reader over the shared sample separations: every storage variant of one picture must
// reach the filter as the same positive image.
#include <gtest/gtest.h>

#include <vector>

#include "engine/io/source_reader.h"
#include "tests/engine/test_tiff_image.h"
#include "tests/support/fixtures.h"

namespace vestrel {
namespace {

struct ReadResult {
    bool ok = false;
    bool negative = false;
    std::vector<std::uint8_t> samples;  // the whole image as served, row after row
};

// Serves the image in overlapping bands the way the filter asks for them.
ReadResult ReadThroughReader(const std::string& name, SourceMode mode) {
    ReadResult result;
    UniqueTiff tif = testing::OpenTestTiff(plexivar::testing::FixturePath(name));
    if (!tif)
        return result;
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    std::uint16_t photometric = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    if (!StartSourceReader(mode, std::move(tif), photometric, w, h, (w + 7) / 8, 1024, nullptr))
        return result;
    SourceRowSet rows;
    rows.Allocate(300, w);
    std::vector<std::uint8_t*> table(300);
    std::uint8_t** tables[1] = {table.data()};
    result.samples.reserve(std::size_t{w} * h);
    for (std::uint32_t y = 0; y < h; y += 256) {
        AreaDesc request;
        request.present = 1;
        request.y = static_cast<std::int32_t>(y);
        request.h = static_cast<std::int32_t>(std::min<std::uint32_t>(300, h - y));
        request.rowTables = tables;
        if (GetData(request, rows, y == 0 ? 1 : 0) == 0) {
            FinishSourceReader();
            return result;
        }
        for (std::uint32_t k = 0; k < 256 && y + k < h; ++k)
            result.samples.insert(result.samples.end(), table[k], table[k] + w);
    }
    result.negative = ActiveSourceReader().negative;
    result.ok = true;
    FinishSourceReader();
    return result;
}

TEST(SourceReaderFixturesTest, StorageVariantsOfOnePictureReadAlike) {
    PLEXIVAR_REQUIRE_FIXTURES();
    const ReadResult base = ReadThroughReader("tiger600-K.tif", SourceMode::ring);
    ASSERT_TRUE(base.ok);
    EXPECT_FALSE(base.negative);
    for (const char* name :
         {"var-miniswhite-g4.tif", "var-none.tif", "var-lzw.tif", "var-packbits.tif",
          "var-lsb2msb-g4.tif", "var-bigendian-g4.tif", "var-onestrip-g4.tif",
          "var-tiled-g4.tif"}) {
        for (SourceMode mode : {SourceMode::cache, SourceMode::ring}) {
            const ReadResult r = ReadThroughReader(name, mode);
            ASSERT_TRUE(r.ok) << name;
            EXPECT_FALSE(r.negative) << name;
            EXPECT_TRUE(r.samples == base.samples) << name;
        }
    }
}

TEST(SourceReaderFixturesTest, NegativesInEitherPolarityReachTheFilterAsTheSamePositive) {
    PLEXIVAR_REQUIRE_FIXTURES();
    const ReadResult white = ReadThroughReader("var-negative-g4.tif", SourceMode::cache);
    const ReadResult black = ReadThroughReader("var-negative-minisblack-g4.tif", SourceMode::ring);
    ASSERT_TRUE(white.ok);
    ASSERT_TRUE(black.ok);
    EXPECT_TRUE(white.negative);
    EXPECT_TRUE(black.negative);
    EXPECT_TRUE(white.samples == black.samples);
    // The 48-pixel paper border is solid black in the file: white after normalising.
    EXPECT_EQ(white.samples.front(), 0x00);
    EXPECT_EQ(white.samples.back(), 0x00);
}

TEST(SourceReaderFixturesTest, DamagedFilesFailCleanly) {
    PLEXIVAR_REQUIRE_FIXTURES();
    for (SourceMode mode : {SourceMode::cache, SourceMode::ring}) {
        EXPECT_FALSE(ReadThroughReader("var-truncated-g4.tif", mode).ok);
        EXPECT_FALSE(ActiveSourceReader().input);
    }
}

}  // namespace
}  // namespace vestrel
