#include "engine/tiff/rewrite_strips.h"

#include <gtest/gtest.h>

#include "engine/tiff/output_compression.h"
#include "platform/file_ops.h"
#include "tests/engine/tiff/test_images.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

using plexivar::testing::FixturePath;
using plexivar::testing::TempDir;
using testing::Image;
using testing::Noise;
using testing::TagOf;

std::uint32_t RowsPerStrip(const std::string& path, int directory = 0) {
    return TagOf<std::uint32_t>(path, TIFFTAG_ROWSPERSTRIP, 0u, directory);
}

TEST(RewriteStrips, EqualStripHeightsCopyStripByStripOthersRowByRow) {
    TempDir dir;
    const Image image = Noise(300, 1100, 1);
    const std::string same = dir.File("same.tif");
    const std::string tall = dir.File("tall.tif");
    ASSERT_TRUE(testing::WriteTiff(same, {image}, {COMPRESSION_CCITTFAX4, 256}));
    ASSERT_TRUE(testing::WriteTiff(tall, {image}, {COMPRESSION_CCITTFAX4, 1024}));

    std::vector<CopyStrategy> strategies;
    ASSERT_TRUE(RewriteStrips(same, 256, &strategies));
    EXPECT_EQ(strategies, std::vector<CopyStrategy>{CopyStrategy::kStripByStrip});
    ASSERT_TRUE(RewriteStrips(tall, 256, &strategies));
    EXPECT_EQ(strategies, std::vector<CopyStrategy>{CopyStrategy::kRowByRow});

    for (const auto& path : {same, tall}) {
        EXPECT_EQ(testing::ReadTiff(path), std::vector<Image>{image}) << path;
        EXPECT_EQ(RowsPerStrip(path), 256u) << path;
        EXPECT_EQ(TagOf<std::uint16_t>(path, TIFFTAG_COMPRESSION), COMPRESSION_CCITTFAX4);
        EXPECT_FALSE(plexivar::platform::FileExists(path + ".temp"));
    }
}

TEST(RewriteStrips, EveryPageIsRewrittenAndKeepsItsTags) {
    TempDir dir;
    const std::string path = dir.File("pages.tif");
    const std::vector<Image> pages = {Noise(100, 90, 1), Noise(120, 70, 2), Noise(64, 50, 3)};
    ASSERT_TRUE(testing::WriteTiff(path, pages, {COMPRESSION_NONE, 20}));

    ASSERT_TRUE(RewriteStrips(path, 32));
    EXPECT_EQ(testing::ReadTiff(path), pages);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(RowsPerStrip(path, p), 32u);
        EXPECT_EQ(testing::StringTagOf(path, TIFFTAG_IMAGEDESCRIPTION, p),
                  "page " + std::to_string(p));
        EXPECT_EQ(TagOf<std::uint16_t>(path, TIFFTAG_COMPRESSION, 0, p), COMPRESSION_NONE);
        EXPECT_EQ(TagOf<float>(path, TIFFTAG_YRESOLUTION, 0.0f, p), 2540.0f);
    }
    testing::TiffPtr tif(TIFFOpen(path.c_str(), "r"));
    ASSERT_TRUE(TIFFSetDirectory(tif.get(), 2));
    std::uint16_t page = 0;
    std::uint16_t count = 0;
    ASSERT_EQ(TIFFGetField(tif.get(), TIFFTAG_PAGENUMBER, &page, &count), 1);
    EXPECT_EQ(page, 2);
    EXPECT_EQ(count, 3);
}

TEST(RewriteStrips, NegativeStripHeightKeepsEachPagesOwn) {
    TempDir dir;
    const std::string path = dir.File("own.tif");
    ASSERT_TRUE(testing::WriteTiff(path, {Noise(80, 200, 1)}, {COMPRESSION_PACKBITS, 100}));
    std::vector<CopyStrategy> strategies;
    ASSERT_TRUE(RewriteStrips(path, -1, &strategies));
    EXPECT_EQ(RowsPerStrip(path), 100u);
    EXPECT_EQ(strategies, std::vector<CopyStrategy>{CopyStrategy::kStripByStrip});
    EXPECT_EQ(TagOf<std::uint16_t>(path, TIFFTAG_COMPRESSION), COMPRESSION_PACKBITS);
}

TEST(RewriteStrips, KeepsTheCompressionAndItsOptions) {
    TempDir dir;
    const Image image = Noise(500, 300, 4);
    for (int setting : {0, 1, 2, 3, 4, 7, -1}) {
        const OutputCompression compression = CompressionForSetting(setting);
        const std::string path = dir.File("setting" + std::to_string(setting) + ".tif");
        testing::FileLayout layout{compression.scheme, 300};
        layout.group4Options = compression.group4Options;
        if (compression.scheme == COMPRESSION_CCITTFAX3)
            layout.group3Options = GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS;
        ASSERT_TRUE(testing::WriteTiff(path, {image}, layout));
        ASSERT_TRUE(RewriteStrips(path, 64)) << setting;
        EXPECT_EQ(TagOf<std::uint16_t>(path, TIFFTAG_COMPRESSION), compression.scheme);
        EXPECT_EQ(TagOf<std::uint32_t>(path, TIFFTAG_GROUP4OPTIONS, 99u),
                  compression.group4Options ? 0u : 99u)
            << setting;
        EXPECT_EQ(TagOf<std::uint32_t>(path, TIFFTAG_GROUP3OPTIONS), layout.group3Options);
        EXPECT_EQ(RowsPerStrip(path), 64u);
        EXPECT_EQ(testing::ReadTiff(path), std::vector<Image>{image}) << setting;
    }
}

TEST(RewriteStrips, UnreadableDataFailsAndRestoresTheFile) {
    TempDir dir;
    const std::string path = dir.File("broken.tif");
    ASSERT_TRUE(testing::WriteTiff(path, {Noise(64, 40, 1), Noise(64, 40, 2)}, {.brokenRow = 30}));
    const std::string before = TempDir::Read(path);
    std::string error;
    EXPECT_FALSE(RewriteStrips(path, 16, nullptr, &error));
    EXPECT_NE(error.find("row 30"), std::string::npos) << error;
    EXPECT_EQ(TempDir::Read(path), before);
    EXPECT_FALSE(plexivar::platform::FileExists(path + ".temp"));
}

TEST(RewriteStrips, SharedSamplesRewriteFaithfullyOrStayUntouched) {
    PLEXIVAR_REQUIRE_FIXTURES();
    TempDir dir;
    // Every single-image sample holds the pixels of this plate.
    const auto plate = testing::ReadTiff(FixturePath("tiger600-K.tif"));
    ASSERT_EQ(plate.size(), 1u);
    const auto kRows = CopyStrategy::kRowByRow;
    struct Case {
        const char* name;
        std::vector<CopyStrategy> strategies;  // empty: the rewrite must fail
    };
    for (const Case& c :
         {Case{"var-tiled-g4.tif", {CopyStrategy::kTilesToStrips}},
          Case{"var-lsb2msb-g4.tif", {kRows}}, Case{"var-bigendian-g4.tif", {kRows}},
          Case{"var-onestrip-g4.tif", {kRows}}, Case{"var-lzw.tif", {kRows}},
          Case{"var-multipage-3.tif", {kRows, kRows, kRows}}, Case{"var-truncated-g4.tif", {}},
          Case{"var-gray8.tif", {}}}) {
        const std::string path = dir.File(c.name);
        ASSERT_TRUE(plexivar::platform::CopyFileReplace(FixturePath(c.name), path));
        const std::string bytes = TempDir::Read(path);
        const auto before = c.strategies.size() == 1 ? plate : testing::ReadTiff(path);
        std::vector<CopyStrategy> strategies;
        std::string error;
        const bool ok = RewriteStrips(path, 256, &strategies, &error);
        EXPECT_EQ(ok, !c.strategies.empty()) << c.name << ": " << error;
        if (!ok) {
            EXPECT_EQ(TempDir::Read(path), bytes) << c.name;
            EXPECT_FALSE(plexivar::platform::FileExists(path + ".temp")) << c.name;
            continue;
        }
        EXPECT_EQ(strategies, c.strategies) << c.name;
        EXPECT_TRUE(testing::ReadTiff(path) == before) << c.name;
        EXPECT_EQ(RowsPerStrip(path), 256u) << c.name;
    }
    EXPECT_EQ(TagOf<std::uint16_t>(dir.File("var-lsb2msb-g4.tif"), TIFFTAG_FILLORDER),
              FILLORDER_LSB2MSB);
}

}  // namespace
}  // namespace vestrel
