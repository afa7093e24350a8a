#include "service/image_description.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <string>
#include <vector>

#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace plexivar {
namespace {

using testing::TempDir;

// A 16 x 4 1-bit TIFF, with an ImageDescription when `description` is not null.
std::string WriteTiff(const TempDir& dir, const std::string& name, const char* description) {
    const std::string path = dir.File(name);
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif)
        return path;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 16);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 4);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4);
    if (description)
        TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description);
    std::vector<unsigned char> row(2, 0xF0);
    for (unsigned y = 0; y < 4; ++y) TIFFWriteScanline(tif, row.data(), y, 0);
    TIFFClose(tif);
    return path;
}

TEST(ReadImageDescription, ReadsTheTag) {
    TempDir dir;
    std::string description;
    ASSERT_TRUE(ReadImageDescription(WriteTiff(dir, "m.tif", "M;98.5;101.2;3"), description));
    EXPECT_EQ(description, "M;98.5;101.2;3");
    ASSERT_TRUE(ReadImageDescription(WriteTiff(dir, "none.tif", nullptr), description));
    EXPECT_EQ(description, "");
}

TEST(ReadImageDescription, RefusesWhatIsNoTiff) {
    TempDir dir;
    std::string description = "stale";
    std::string error;
    EXPECT_FALSE(ReadImageDescription(dir.File("absent.tif"), description, &error));
    EXPECT_EQ(description, "");
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(
        ReadImageDescription(dir.Write("text.tif", "this is not a TIFF"), description, &error));
    EXPECT_FALSE(ReadImageDescription(dir.Write("empty.tif", ""), description, &error));
    // A valid header that points into nowhere.
    EXPECT_FALSE(ReadImageDescription(dir.Write("cut.tif", std::string("II*\0\xFF\xFF\xFF\x7F", 8)),
                                      description, &error));
    EXPECT_FALSE(ReadImageDescription(dir.path(), description, &error));
}

TEST(ReadImageDescription, DamagedFixtureDoesNotCrash) {
    PLEXIVAR_REQUIRE_FIXTURES();
    std::string description;
    ReadImageDescription(testing::FixturePath("var-truncated-g4.tif"), description);
    EXPECT_TRUE(ReadImageDescription(testing::FixturePath("var-multipage-3.tif"), description));
}

TEST(ParseImageDescription, Modes) {
    const auto plain = ParseImageDescription("M;98.5;101.2;3", false);
    EXPECT_EQ(plain.colour, "M");
    EXPECT_EQ(plain.zone, "3");
    EXPECT_EQ(plain.correctionX, 0.0);
    EXPECT_EQ(plain.correctionY, 0.0);

    const auto corrected = ParseImageDescription("M;98.5;101.2;3", true);
    EXPECT_DOUBLE_EQ(corrected.correctionX, 98.5);
    EXPECT_DOUBLE_EQ(corrected.correctionY, 101.2);
    EXPECT_EQ(corrected.zone, "3");

    const auto three = ParseImageDescription("Y;97;103", true);
    EXPECT_DOUBLE_EQ(three.correctionY, 103.0);
    EXPECT_EQ(three.zone, "");
    const auto two = ParseImageDescription("Y;97", true);
    EXPECT_EQ(two.correctionX, 0.0);  // corrections need both fields

    const auto lower = ParseImageDescription("c;x;y;5", true);
    EXPECT_EQ(lower.colour, "c");
    EXPECT_EQ(lower.correctionX, 0.0);
    EXPECT_EQ(lower.zone, "5");

    EXPECT_EQ(ParseImageDescription("", true).colour, "");
    EXPECT_EQ(ParseImageDescription("K;nan;-inf;1", true).correctionX, 0.0);
}

}  // namespace
}  // namespace plexivar
