#include "engine/pipeline/simple_resample_tiff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "engine/api/engine_setup.h"
#include "engine/tiff/tiff_file.h"
#include "platform/file_ops.h"
#include "tests/engine/engine_test_support.h"
#include "tests/engine/test_tiff_image.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

using plexivar::testing::TempDir;
using Rows = std::vector<std::vector<std::uint8_t>>;
namespace fs = plexivar::platform;

using testing::ProgressSeen;
using testing::RecordProgress;

// Row r carries its own number in its first two bytes, so every output row names its source.
std::vector<std::uint8_t> NumberedRow(std::uint32_t r, std::uint32_t width) {
    std::vector<std::uint8_t> bytes = testing::PatternRow(r, width);
    bytes[0] = static_cast<std::uint8_t>(r >> 8);
    bytes[1] = static_cast<std::uint8_t>(r);
    bytes[2] = 0xA5;
    return bytes;
}

Rows ReadRows(const std::string& path) {
    Rows rows;
    UniqueTiff tif = testing::OpenTestTiff(path);
    if (!tif)
        return rows;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(tif.get())));
    for (std::uint32_t r = 0; r < ImageLength(tif.get()); ++r) {
        if (TIFFReadScanline(tif.get(), row.data(), r, 0) < 0)
            return {};
        rows.push_back(row);
    }
    return rows;
}

// The reduction done on the whole image in memory: each input row is copied into the slot
// after the last kept row; a dropped row's slot is overwritten by the next row read.
Rows WholeImageReduction(const Rows& in, const RowDropPlan& plan, std::uint8_t white) {
    Rows out(in.size(), std::vector<std::uint8_t>(in[0].size(), white));
    std::size_t p = 0;
    for (std::uint32_t i = 0; i < in.size(); ++i) {
        out[p] = in[i];
        if (!IsDroppedRow(plan, i))
            ++p;
    }
    return out;
}

// Points strip `strip` of a little-endian classic TIFF beyond the end of the file, as when
// the file was cut off there.
void MoveStripPastEnd(const std::string& path, std::uint32_t strip) {
    std::string bytes = TempDir::Read(path);
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    ASSERT_EQ(bytes.substr(0, 2), "II");
    const std::size_t ifd = u32(4);
    const std::uint16_t entries = static_cast<std::uint16_t>(u32(ifd) & 0xFFFF);
    for (std::size_t e = ifd + 2; e < ifd + 2 + 12u * entries; e += 12) {
        if ((u32(e) & 0xFFFF) != TIFFTAG_STRIPOFFSETS)
            continue;
        ASSERT_GT(u32(e + 4), strip);
        const std::uint32_t past = static_cast<std::uint32_t>(bytes.size()) + 4096;
        std::memcpy(bytes.data() + u32(e + 8) + 4u * strip, &past, 4);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return;
    }
    FAIL() << "no StripOffsets in " << path;
}

class SimpleResampleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InitializeEngine(dir_.path());
        ProcessSetup().rowsPerStrip = 256;
        ProcessSetup().progress = nullptr;
        ProgressSeen().clear();
    }
    void TearDown() override { ProcessSetup().progress = nullptr; }

    std::string Image(const std::string& name, const testing::TestImage& image,
                      const std::function<void(TIFF*)>& extraTags = {}) {
        const std::string path = dir_.File(name);
        UniqueTiff tif(TIFFOpen(path.c_str(), "w"));
        EXPECT_NE(tif, nullptr);
        TIFF* t = tif.get();
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, image.width);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, image.height);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, image.photometric);
        TIFFSetField(t, TIFFTAG_COMPRESSION, image.compression);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, image.rowsPerStrip);
        if (extraTags)
            extraTags(t);
        for (std::uint32_t r = 0; r < image.height; ++r)
            EXPECT_EQ(TIFFWriteScanline(t, NumberedRow(r, image.width).data(), r, 0), 1);
        EXPECT_EQ(TIFFWriteDirectory(t), 1);
        return path;
    }
    std::string Plate(std::uint32_t height, std::uint16_t compression = COMPRESSION_NONE) {
        testing::TestImage image;
        image.height = height;
        image.compression = compression;
        return Image("in.tif", image);
    }
    int Run(const std::string& in, double scale) {
        return RunSimpleResamleTIFF(in.c_str(), out_.c_str(), 7, 9, scale);
    }

    TempDir dir_;
    std::string out_ = dir_.File("out.tif");
};

TEST(RowDropPlanTest, ScalesDecideTheDroppedRowsOrRefuse) {
    struct Case {
        std::uint32_t height;
        double scale;
        bool ok;
        std::uint32_t dropEvery;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const Case& c :
         {Case{1000, 99, true, 100}, Case{1000, 50, true, 2}, Case{1001, 50, true, 2},
          Case{1000, 80, true, 5}, Case{1000, 100, true, 0}, Case{1000, 99.96, true, 0},
          Case{1000, 250, true, 0}, Case{1000, 49.9, false, 0}, Case{1000, 10, false, 0},
          Case{1000, 0, false, 0}, Case{1000, -50, false, 0}, Case{1000, nan, false, 0},
          Case{1000, inf, false, 0}}) {
        RowDropPlan plan;
        std::string error;
        EXPECT_EQ(PlanRowDropping(c.height, c.scale, plan, &error), c.ok) << c.scale;
        EXPECT_EQ(plan.dropEvery, c.dropEvery) << c.scale;
        EXPECT_EQ(error.empty(), c.ok) << c.scale;
    }
}

TEST_F(SimpleResampleTest, NinetyNinePercentDropsEveryHundredthRowAndKeepsTheHeight) {
    const std::string in = Plate(1000);
    ASSERT_EQ(Run(in, 99), 1);
    const Rows out = ReadRows(out_);
    ASSERT_EQ(out.size(), 1000u);
    std::uint32_t expected = 0;
    for (std::uint32_t y = 0; y < 991; ++y, ++expected) {
        if (expected >= 100 && expected <= 900 && expected % 100 == 0)
            ++expected;
        ASSERT_EQ(out[y], NumberedRow(expected, 64)) << "row " << y;
    }
    for (std::uint32_t y = 991; y < 1000; ++y)
        EXPECT_EQ(out[y], std::vector<std::uint8_t>(8, 0x00)) << "row " << y;
}

TEST_F(SimpleResampleTest, HalfKeepsRowZeroAndTheOddRowsThenPaper) {
    // Min-is-black: paper is 1 bits, so the freed rows must be 0xFF, not ink.
    testing::TestImage image;
    image.height = 1000;
    image.photometric = PHOTOMETRIC_MINISBLACK;
    ASSERT_EQ(Run(Image("in.tif", image), 50), 1);
    const Rows out = ReadRows(out_);
    ASSERT_EQ(out.size(), 1000u);
    EXPECT_EQ(out[0], NumberedRow(0, 64));
    for (std::uint32_t k = 1; k <= 500; ++k)
        ASSERT_EQ(out[k], NumberedRow(2 * k - 1, 64)) << "row " << k;
    for (std::uint32_t y = 501; y < 1000; ++y)
        ASSERT_EQ(out[y], std::vector<std::uint8_t>(8, 0xFF)) << "row " << y;
}

TEST_F(SimpleResampleTest, StreamedRowsMatchTheWholeImageReduction) {
    // 1001 rows at 50 % drops the last row itself: it stays after the last kept row.
    struct Case {
        std::uint32_t height;
        double scale;
        std::uint16_t compression;
    };
    for (const Case& c :
         {Case{1001, 50, COMPRESSION_CCITTFAX4}, Case{1000, 73, COMPRESSION_LZW},
          Case{301, 99.5, COMPRESSION_PACKBITS}, Case{7, 60, COMPRESSION_NONE},
          Case{500, 100, COMPRESSION_CCITTFAX4}, Case{500, 150, COMPRESSION_NONE}}) {
        const std::string in = Plate(c.height, c.compression);
        ASSERT_EQ(Run(in, c.scale), 1) << c.height << " " << c.scale;
        RowDropPlan plan;
        ASSERT_TRUE(PlanRowDropping(c.height, c.scale, plan, nullptr));
        EXPECT_EQ(ReadRows(out_), WholeImageReduction(ReadRows(in), plan, 0x00))
            << c.height << " rows at " << c.scale << " %";
    }
}

TEST_F(SimpleResampleTest, StripHeightFromSettingsOrInput) {
    testing::TestImage image;
    image.width = 800;  // 100 bytes per row
    image.height = 1000;
    image.rowsPerStrip = 100;
    const std::string in = Image("in.tif", image);
    struct Case {
        int setting;
        std::uint32_t rows;
        std::vector<std::uint32_t> strips;
    };
    for (const Case& c : {Case{256, 256, {256, 256, 256, 232}}, Case{-1, 100, {}},
                          Case{0, 81, {}}}) {  // 0: the library's 8 KB strips
        ProcessSetup().rowsPerStrip = c.setting;
        ASSERT_EQ(Run(in, 99), 1);
        UniqueTiff out = testing::OpenTestTiff(out_);
        std::uint32_t rows = 0;
        TIFFGetField(out.get(), TIFFTAG_ROWSPERSTRIP, &rows);
        EXPECT_EQ(rows, c.rows) << c.setting;
        std::uint64_t* counts = nullptr;
        ASSERT_EQ(TIFFGetField(out.get(), TIFFTAG_STRIPBYTECOUNTS, &counts), 1);
        for (std::size_t s = 0; s < c.strips.size(); ++s)
            EXPECT_EQ(counts[s], c.strips[s] * 100u) << "strip " << s;
    }
    // A compressed input in one strip taller than the image keeps one strip. (The library
    // cuts a single uncompressed strip into 8 KB strips on reading and reports those.)
    image.rowsPerStrip = 5000;
    image.compression = COMPRESSION_CCITTFAX4;
    ProcessSetup().rowsPerStrip = -1;
    ASSERT_EQ(Run(Image("tall.tif", image), 99), 1);
    EXPECT_EQ(TIFFNumberOfStrips(testing::OpenTestTiff(out_).get()), 1u);
}

TEST_F(SimpleResampleTest, TagsAndCompressionAreCopied) {
    testing::TestImage image;
    image.height = 100;
    image.compression = COMPRESSION_CCITTFAX4;
    const std::string in = Image("in.tif", image, [](TIFF* t) {
        TIFFSetField(t, TIFFTAG_XRESOLUTION, 500.0f);
        TIFFSetField(t, TIFFTAG_YRESOLUTION, 250.0f);
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
        TIFFSetField(t, TIFFTAG_IMAGEDESCRIPTION, "Black");
        TIFFSetField(t, TIFFTAG_PAGENUMBER, 2, 4);
    });
    ASSERT_EQ(Run(in, 95), 1);
    UniqueTiff out = testing::OpenTestTiff(out_);
    float x = 0, y = 0;
    std::uint16_t unit = 0, compression = 0, page = 0, pages = 0, photometric = 9;
    const char* description = nullptr;
    TIFFGetField(out.get(), TIFFTAG_XRESOLUTION, &x);
    TIFFGetField(out.get(), TIFFTAG_YRESOLUTION, &y);
    TIFFGetField(out.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
    TIFFGetField(out.get(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(out.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(out.get(), TIFFTAG_PAGENUMBER, &page, &pages);
    ASSERT_EQ(TIFFGetField(out.get(), TIFFTAG_IMAGEDESCRIPTION, &description), 1);
    EXPECT_EQ(x, 500.0f);
    EXPECT_EQ(y, 250.0f);
    EXPECT_EQ(unit, RESUNIT_CENTIMETER);
    EXPECT_EQ(compression, COMPRESSION_CCITTFAX4);
    EXPECT_EQ(photometric, PHOTOMETRIC_MINISWHITE);
    EXPECT_STREQ(description, "Black");
    EXPECT_EQ(page, 2);
    EXPECT_EQ(pages, 4);
    EXPECT_EQ(ImageWidth(out.get()), 64u);
}

TEST_F(SimpleResampleTest, ProgressRisesToHundredAndEndsAtZero) {
    const std::string in = Plate(1000);
    ASSERT_EQ(Run(in, 99), 1);  // no stored function: nothing to report to
    ProcessSetup().progress = &RecordProgress;
    ASSERT_EQ(Run(in, 99), 1);
    const std::vector<int>& seen = ProgressSeen();
    ASSERT_EQ(seen.size(), 102u);  // 0, 1..100, 0
    for (int k = 0; k <= 100; ++k) EXPECT_EQ(seen[static_cast<std::size_t>(k)], k);
    EXPECT_EQ(seen.back(), 0);
}

TEST_F(SimpleResampleTest, BadInputOrScaleFailsAndLeavesNoOutput) {
    const std::string good = Plate(100);
    const std::string original = TempDir::Read(good);
    const std::string text = dir_.Write("text.tif", "not a TIFF at all");
    struct Case {
        std::string in;
        double scale;
    };
    for (const Case& c : {Case{dir_.File("missing.tif"), 90}, Case{text, 90}, Case{good, 0},
                          Case{good, -10}, Case{good, std::nan("")}, Case{good, 30}}) {
        dir_.Write("out.tif", "an older output");
        EXPECT_EQ(Run(c.in, c.scale), 0) << c.in << " " << c.scale;
        EXPECT_FALSE(fs::FileExists(out_)) << c.in << " " << c.scale;
    }
    // Output named like the input: refused, the input stays as it was.
    EXPECT_EQ(RunSimpleResamleTIFF(good.c_str(), good.c_str(), 0, 0, 90), 0);
    EXPECT_EQ(TempDir::Read(good), original);
    EXPECT_EQ(RunSimpleResamleTIFF(nullptr, out_.c_str(), 0, 0, 90), 0);
}

TEST_F(SimpleResampleTest, EightBitInputIsRefused) {
    const std::string path = dir_.File("gray.tif");
    ASSERT_TRUE(testing::WriteGreyTiff(path, 16, 16));
    EXPECT_EQ(Run(path, 90), 0);
    EXPECT_FALSE(fs::FileExists(out_));
}

TEST_F(SimpleResampleTest, ReadErrorPartWayDeletesTheOutput) {
    const std::string in = Plate(1000);  // 125 strips of 8 rows
    MoveStripPastEnd(in, 100);
    ProcessSetup().progress = &RecordProgress;
    EXPECT_EQ(Run(in, 99), 0);
    EXPECT_FALSE(fs::FileExists(out_));
    ASSERT_GE(ProgressSeen().size(), 2u);
    EXPECT_GT(ProgressSeen()[ProgressSeen().size() - 2], 0);  // it had got going
    EXPECT_EQ(ProgressSeen().back(), 0);
}

TEST_F(SimpleResampleTest, SampleSeparations) {
    PLEXIVAR_REQUIRE_FIXTURES();
    using plexivar::testing::FixturePath;
    EXPECT_EQ(Run(FixturePath("var-truncated-g4.tif"), 99), 0);
    EXPECT_FALSE(fs::FileExists(out_));
    // A tiled plate gives the rows of the same plate in one strip.
    ASSERT_EQ(Run(FixturePath("var-tiled-g4.tif"), 97), 1);
    const Rows fromTiles = ReadRows(out_);
    ASSERT_EQ(Run(FixturePath("var-onestrip-g4.tif"), 97), 1);
    const Rows fromStrip = ReadRows(out_);
    RowDropPlan plan;
    ASSERT_TRUE(PlanRowDropping(2400, 97, plan, nullptr));
    EXPECT_EQ(fromStrip,
              WholeImageReduction(ReadRows(FixturePath("var-onestrip-g4.tif")), plan, 0xFF));
    EXPECT_EQ(fromTiles, fromStrip);
}

}  // namespace
}  // namespace vestrel
