#include "engine/tiff/background_merge.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/file_ops.h"
#include "tests/engine/tiff/test_images.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

using plexivar::testing::TempDir;
using testing::Image;
using testing::Noise;
using testing::StringTagOf;
using testing::TagOf;

plexivar::platform::LocalTime March26() {
    plexivar::platform::LocalTime time;
    time.year = 2012;
    time.month = 3;
    time.day = 26;
    time.hour = 8;
    time.minute = 3;
    time.second = 26;
    return time;
}

Image Blank(std::uint32_t width, std::uint32_t height) {
    return Image{width, height, std::vector<std::uint8_t>(((width + 7) / 8) * height, 0)};
}

class MergeBackgroundTest : public ::testing::Test {
  protected:
    MergeBackgroundTest() { plexivar::platform::SetClockForTesting(March26); }
    ~MergeBackgroundTest() override { plexivar::platform::SetClockForTesting({}); }

    std::string Write(const std::string& name, const Image& image,
                      const testing::FileLayout& layout = {}) {
        const std::string path = dir_.File(name);
        EXPECT_TRUE(testing::WriteTiff(path, {image}, layout));
        return path;
    }
    // Merges with the engine's default compression.
    bool Merge(const std::string& first, const std::string& second, std::string* error,
               OutputCompression compression = CompressionForSetting(4),
               const std::string& description = "") {
        return MergeBackground(first, second, out_, description, compression, error);
    }
    Image Output() const {
        auto pages = testing::ReadTiff(out_);
        return pages.size() == 1 ? pages[0] : Image{};
    }

    TempDir dir_;
    std::string out_ = dir_.File("merged.tif");
};

TEST_F(MergeBackgroundTest, WidthsRoundUpToWholeBytesWithThePaddingBlack) {
    // The narrower image's padding must not cover pixels of the wider one (1001 vs 1003),
    // whatever its polarity: inverted, a min-is-black row's unused bits would be black.
    for (const auto& [otherWidth, photometric] :
         {std::pair{1000u, PHOTOMETRIC_MINISWHITE}, std::pair{1003u, PHOTOMETRIC_MINISWHITE},
          std::pair{1000u, PHOTOMETRIC_MINISBLACK}, std::pair{1003u, PHOTOMETRIC_MINISBLACK}}) {
        SCOPED_TRACE(photometric == PHOTOMETRIC_MINISBLACK ? "min-is-black" : "min-is-white");
        const Image wide = Noise(1001, 20, 1);
        const Image other = Noise(otherWidth, 20, 2);
        // Stored min-is-black, ink is 0 and the unused bits are 0 as writers leave them.
        Image stored = wide;
        testing::FileLayout layout;
        layout.photometric = static_cast<std::uint16_t>(photometric);
        for (std::uint32_t y = 0; photometric == PHOTOMETRIC_MINISBLACK && y < stored.height; ++y)
            for (std::uint32_t x = 0; x < stored.width; ++x) stored.row(y)[x / 8] ^= 0x80 >> (x % 8);
        std::string error = "left over";
        ASSERT_TRUE(Merge(Write("a.tif", stored, layout), Write("b.tif", other), &error)) << error;
        EXPECT_EQ(error, "");

        const Image merged = Output();
        ASSERT_EQ(merged.width, 1008u);
        ASSERT_EQ(merged.height, 20u);
        const std::uint32_t edge = std::max(1001u, otherWidth);
        for (std::uint32_t y = 0; y < merged.height; ++y) {
            for (std::uint32_t x = 0; x < merged.width; ++x) {
                const bool expected = x >= edge || (x < 1001 && wide.pixel(x, y)) ||
                                      (x < otherWidth && other.pixel(x, y));
                ASSERT_EQ(merged.pixel(x, y), expected) << "x " << x << " y " << y;
            }
        }
    }
}

TEST_F(MergeBackgroundTest, RowsBelowTheShorterImageComeFromTheTallerOnly) {
    // The shorter image is also the wider one: its padding (pixels 61..63) ends with it.
    const Image shorter = Noise(61, 500, 3);
    const Image taller = Noise(56, 800, 4);
    ASSERT_TRUE(Merge(Write("a.tif", shorter), Write("b.tif", taller), nullptr));
    const Image merged = Output();
    ASSERT_EQ(merged.width, 64u);
    ASSERT_EQ(merged.height, 800u);
    for (std::uint32_t y = 0; y < 800; ++y) {
        for (std::uint32_t b = 0; b < 8; ++b) {
            const int tallerByte = b < 7 ? taller.row(y)[b] : 0;
            const int expected =
                y < 500 ? shorter.row(y)[b] | tallerByte | (b == 7 ? 0x07 : 0) : tallerByte;
            ASSERT_EQ(merged.row(y)[b], expected) << "row " << y << " byte " << b;
        }
    }
    // 800 rows in strips of 256: 256, 256, 256, 32.
    testing::TiffPtr tif(TIFFOpen(out_.c_str(), "r"));
    EXPECT_EQ(TIFFNumberOfStrips(tif.get()), 4u);
}

TEST_F(MergeBackgroundTest, OutputTagsDescribeTheMergedImage) {
    const Image image = Noise(100, 10, 5);
    const std::string first = Write("a.tif", image);
    const std::string second = Write("b.tif", Blank(40, 10));
    ASSERT_TRUE(Merge(first, second, nullptr, CompressionForSetting(4), "Black"));

    EXPECT_EQ(TagOf<std::uint16_t>(out_, TIFFTAG_PHOTOMETRIC, 99), PHOTOMETRIC_MINISWHITE);
    EXPECT_EQ(TagOf<std::uint32_t>(out_, TIFFTAG_IMAGEWIDTH), 104u);
    EXPECT_EQ(TagOf<std::uint32_t>(out_, TIFFTAG_IMAGELENGTH), 10u);
    EXPECT_EQ(TagOf<std::uint16_t>(out_, TIFFTAG_COMPRESSION), COMPRESSION_CCITTFAX4);
    EXPECT_EQ(TagOf<std::uint32_t>(out_, TIFFTAG_GROUP4OPTIONS, 99u), 0u);
    EXPECT_EQ(TagOf<std::uint16_t>(out_, TIFFTAG_PLANARCONFIG), PLANARCONFIG_CONTIG);
    EXPECT_EQ(TagOf<std::uint16_t>(out_, TIFFTAG_ORIENTATION), ORIENTATION_TOPLEFT);
    EXPECT_EQ(TagOf<std::uint32_t>(out_, TIFFTAG_ROWSPERSTRIP), 256u);
    EXPECT_EQ(TagOf<float>(out_, TIFFTAG_XRESOLUTION), 1270.0f);
    EXPECT_EQ(TagOf<float>(out_, TIFFTAG_YRESOLUTION), 2540.0f);
    EXPECT_EQ(TagOf<std::uint16_t>(out_, TIFFTAG_RESOLUTIONUNIT), RESUNIT_INCH);
    EXPECT_EQ(StringTagOf(out_, TIFFTAG_SOFTWARE), "Tulvane Plexivar");
    EXPECT_EQ(StringTagOf(out_, TIFFTAG_IMAGEDESCRIPTION), "Black");
    EXPECT_EQ(StringTagOf(out_, TIFFTAG_DATETIME), "2012/ 3/26 08:03:26");
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(StringTagOf(out_, TIFFTAG_HOSTCOMPUTER), std::string(host).substr(0, 199));
    EXPECT_EQ(Output().row(3)[0], image.row(3)[0]);

    // Without a description there is no ImageDescription tag.
    ASSERT_TRUE(Merge(first, second, nullptr));
    EXPECT_EQ(StringTagOf(out_, TIFFTAG_IMAGEDESCRIPTION), "<absent>");
}

TEST_F(MergeBackgroundTest, CompressionFollowsTheSettingOrThePassThroughRule) {
    const std::string first = Write("a.tif", Noise(64, 8, 6));
    const std::string second = Write("b.tif", Noise(64, 8, 7));
    struct Case {
        OutputCompression compression;
        std::uint16_t scheme;
        bool group4Options;
    };
    for (const Case& c : {Case{CompressionForSetting(0), COMPRESSION_NONE, false},
                          Case{CompressionForSetting(1), COMPRESSION_PACKBITS, false},
                          Case{CompressionForSetting(2), COMPRESSION_LZW, false},
                          Case{CompressionForSetting(3), COMPRESSION_CCITTFAX3, false},
                          Case{CompressionForSetting(7), COMPRESSION_CCITTFAX4, true},
                          Case{CompressionForSetting(-1), COMPRESSION_CCITTFAX4, true},
                          Case{kPassThroughCompression, COMPRESSION_CCITTFAX4, false}}) {
        ASSERT_TRUE(Merge(first, second, nullptr, c.compression)) << c.scheme;
        EXPECT_EQ(TagOf<std::uint16_t>(out_, TIFFTAG_COMPRESSION), c.scheme);
        testing::TiffPtr tif(TIFFOpen(out_.c_str(), "r"));
        std::uint32_t options = 0;
        EXPECT_EQ(TIFFGetField(tif.get(), TIFFTAG_GROUP4OPTIONS, &options) == 1, c.group4Options)
            << c.scheme;
        EXPECT_EQ(Output().width, 64u) << c.scheme;
    }
}

TEST_F(MergeBackgroundTest, MinIsBlackInputsKeepTheirInkBlack) {
    const Image ink = Noise(48, 12, 8);
    Image stored = ink;  // min-is-black stores ink as 0 bits
    for (auto& byte : stored.bits) byte = static_cast<std::uint8_t>(~byte);
    testing::FileLayout layout;
    layout.photometric = PHOTOMETRIC_MINISBLACK;
    ASSERT_TRUE(Merge(Write("a.tif", Blank(48, 12)), Write("b.tif", stored, layout), nullptr));
    EXPECT_EQ(Output(), ink);
}

TEST_F(MergeBackgroundTest, ReadErrorsAndBadInputsAreReportedWithoutOutput) {
    const std::string good = Write("good.tif", Noise(64, 20, 9));
    const std::string broken = Write("broken.tif", Noise(64, 20, 10), {.brokenRow = 10});
    std::string error = "left over";
    EXPECT_FALSE(Merge(good, broken, &error));
    EXPECT_EQ(error, "Error reading scanline 10 of file " + broken);
    EXPECT_FALSE(plexivar::platform::FileExists(out_));

    const std::string missing = dir_.File("missing.tif");
    EXPECT_FALSE(Merge(missing, good, &error));
    EXPECT_EQ(error, "Failed opening input file " + missing);
    EXPECT_FALSE(Merge(good, missing, nullptr));

    const std::string pages = dir_.File("pages.tif");
    ASSERT_TRUE(testing::WriteTiff(pages, {Noise(64, 20, 11), Noise(64, 20, 12)}));
    EXPECT_FALSE(Merge(pages, good, &error));
    EXPECT_EQ(error, "Unsupported image in file " + pages + ": the file holds more than one image");

    EXPECT_FALSE(Merge(good, dir_.Write("junk.tif", "junk"), &error));
    EXPECT_EQ(error, "Failed opening input file " + dir_.File("junk.tif"));
    EXPECT_FALSE(plexivar::platform::FileExists(out_));
    // Only the first image of the background is used.
    EXPECT_TRUE(Merge(good, pages, &error)) << error;
}

TEST_F(MergeBackgroundTest, SharedSamples) {
    PLEXIVAR_REQUIRE_FIXTURES();
    using plexivar::testing::FixturePath;
    std::string error;
    EXPECT_FALSE(Merge(FixturePath("var-gray8.tif"), FixturePath("var-none.tif"), &error));
    EXPECT_NE(error.find("Unsupported image in file"), std::string::npos) << error;

    EXPECT_FALSE(Merge(FixturePath("var-none.tif"), FixturePath("var-truncated-g4.tif"), &error));
    EXPECT_EQ(error.rfind("Error reading scanline ", 0), 0u) << error;
    EXPECT_FALSE(plexivar::platform::FileExists(out_));

    // A tiled plate merged with nothing but white gives the plate itself; per-centimetre
    // resolution comes out in dpi.
    ASSERT_TRUE(Merge(FixturePath("var-cm-g4.tif"), Write("white.tif", Blank(8, 8)), &error))
        << error;
    EXPECT_FLOAT_EQ(TagOf<float>(out_, TIFFTAG_XRESOLUTION), 1270.0f);
    ASSERT_TRUE(Merge(FixturePath("var-tiled-g4.tif"), Write("white.tif", Blank(8, 8)), &error))
        << error;
    Image plate = testing::ReadTiff(FixturePath("tiger600-K.tif")).at(0);
    for (auto& byte : plate.bits)  // stored min-is-black
        byte = static_cast<std::uint8_t>(~byte);
    EXPECT_TRUE(Output() == plate);
}

TEST(FormatMergeDateTime, PadsTheMonthWithABlank) {
    EXPECT_EQ(FormatMergeDateTime(March26()), "2012/ 3/26 08:03:26");
    plexivar::platform::LocalTime december = March26();
    december.month = 12;
    december.day = 5;
    EXPECT_EQ(FormatMergeDateTime(december), "2012/12/05 08:03:26");
}

}  // namespace
}  // namespace vestrel
