#include "engine/tiff/apply_margins.h"

#include <gtest/gtest.h>

#include "platform/file_ops.h"
#include "tests/engine/tiff/test_images.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

using plexivar::testing::TempDir;
using testing::Image;
using testing::Noise;

// Keeps the given margins of `source` the way the source-row reader fills the store.
MarginStore KeepMargins(const Image& source, std::uint32_t top, std::uint32_t bottom,
                        std::uint32_t left, std::uint32_t right) {
    MarginStore store;
    const std::uint32_t rowBytes = source.rowBytes();
    store.rowBytes = rowBytes;
    store.topRows = top;
    store.bottomRows = bottom;
    store.leftBytes = left;
    store.rightBytes = right;
    for (std::uint32_t y = 0; y < source.height; ++y) {
        const std::uint8_t* row = source.row(y);
        if (y < top)
            store.top.insert(store.top.end(), row, row + rowBytes);
        if (y >= source.height - bottom)
            store.bottom.insert(store.bottom.end(), row, row + rowBytes);
        store.left.insert(store.left.end(), row, row + left);
        store.right.insert(store.right.end(), row + rowBytes - right, row + rowBytes);
    }
    return store;
}

TEST(ApplyMargins, LeftBytesOnlyRestoreTheFirst24PixelColumns) {
    TempDir dir;
    const std::string path = dir.File("work.tif");
    const Image rewritten = Noise(203, 40, 1);
    const Image source = Noise(203, 40, 2);
    ASSERT_TRUE(testing::WriteTiff(path, {rewritten}, {COMPRESSION_CCITTFAX4, 40}));

    std::string error;
    ASSERT_TRUE(ApplyMargins(path, 16, KeepMargins(source, 0, 0, 3, 0), &error)) << error;

    const auto pages = testing::ReadTiff(path);
    ASSERT_EQ(pages.size(), 1u);
    for (std::uint32_t y = 0; y < source.height; ++y) {
        for (std::uint32_t x = 0; x < source.width; ++x) {
            const bool expected = x < 24 ? source.pixel(x, y) : rewritten.pixel(x, y);
            ASSERT_EQ(pages[0].pixel(x, y), expected) << "x " << x << " y " << y;
        }
    }
    EXPECT_EQ(testing::TagOf<std::uint32_t>(path, TIFFTAG_ROWSPERSTRIP), 16u);
    EXPECT_EQ(testing::TagOf<std::uint16_t>(path, TIFFTAG_COMPRESSION), COMPRESSION_CCITTFAX4);
    EXPECT_EQ(testing::StringTagOf(path, TIFFTAG_IMAGEDESCRIPTION), "page 0");
    EXPECT_FALSE(plexivar::platform::FileExists(path + ".temp"));
}

TEST(ApplyMargins, MarginsAreRestoredByteExactUpToTheWholeImage) {
    // 160 x 30 pixels: rows of 20 bytes. Margins are clamped to the image before they are
    // kept, so a margin as tall or as wide as the image is a real case, not an error.
    struct Case {
        std::uint32_t top, bottom, left, right;
    };
    for (const Case c : {Case{4, 6, 0, 2}, Case{30, 0, 0, 0}, Case{0, 30, 0, 0},
                         Case{0, 0, 20, 0}, Case{0, 0, 3, 20}, Case{30, 30, 20, 20}}) {
        const std::string name = "top " + std::to_string(c.top) + " bottom " +
                                 std::to_string(c.bottom) + " left " + std::to_string(c.left) +
                                 " right " + std::to_string(c.right);
        TempDir dir;
        const std::string path = dir.File("work.tif");
        const Image rewritten = Noise(160, 30, 3);
        const Image source = Noise(160, 30, 4);
        ASSERT_TRUE(testing::WriteTiff(path, {rewritten}));

        std::string error;
        ASSERT_TRUE(ApplyMargins(path, 7, KeepMargins(source, c.top, c.bottom, c.left, c.right),
                                 &error))
            << name << ": " << error;

        const auto pages = testing::ReadTiff(path);
        ASSERT_EQ(pages.size(), 1u) << name;
        const std::uint32_t rowBytes = source.rowBytes();
        for (std::uint32_t y = 0; y < source.height; ++y) {
            const bool wholeRow = y < c.top || y >= source.height - c.bottom;
            for (std::uint32_t b = 0; b < rowBytes; ++b) {
                const bool fromSource = wholeRow || b < c.left || b >= rowBytes - c.right;
                const std::uint8_t expected = fromSource ? source.row(y)[b] : rewritten.row(y)[b];
                ASSERT_EQ(pages[0].row(y)[b], expected) << name << ": byte " << b << " row " << y;
            }
        }
        EXPECT_EQ(testing::TagOf<std::uint32_t>(path, TIFFTAG_ROWSPERSTRIP), 7u) << name;
    }
}

TEST(ApplyMargins, StripHeightBelowOneTakesTheLibraryDefault) {
    TempDir dir;
    const std::string path = dir.File("work.tif");
    const Image image = Noise(8000, 20, 5);  // 1000 bytes per row
    ASSERT_TRUE(testing::WriteTiff(path, {image}));
    for (const int rows : {0, -1}) {
        ASSERT_TRUE(ApplyMargins(path, rows, KeepMargins(image, 1, 0, 0, 0)));
        // The library aims at strips of about 8 KB.
        EXPECT_EQ(testing::TagOf<std::uint32_t>(path, TIFFTAG_ROWSPERSTRIP), 8u) << rows;
        EXPECT_EQ(testing::ReadTiff(path).at(0), image);
    }
}

TEST(ApplyMargins, FailuresLeaveTheFileAsItWas) {
    TempDir dir;
    // Not a TIFF: the backup cannot be opened.
    const std::string junk = dir.Write("junk.tif", "this is not a TIFF file");
    MarginStore store;
    EXPECT_FALSE(ApplyMargins(junk, 256, store));
    EXPECT_EQ(TempDir::Read(junk), "this is not a TIFF file");
    EXPECT_FALSE(plexivar::platform::FileExists(junk + ".temp"));

    // A missing file is reported, and nothing appears in its place.
    std::string error;
    EXPECT_FALSE(ApplyMargins(dir.File("missing.tif"), 256, store, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(plexivar::platform::FileExists(dir.File("missing.tif")));

    // A row that cannot be decoded halfway through the copy.
    const std::string broken = dir.File("broken.tif");
    const Image image = Noise(64, 30, 6);
    ASSERT_TRUE(testing::WriteTiff(broken, {image}, {.brokenRow = 17}));
    const std::string before = TempDir::Read(broken);
    EXPECT_FALSE(ApplyMargins(broken, 8, KeepMargins(image, 2, 0, 1, 0), &error));
    EXPECT_NE(error.find("row 17"), std::string::npos) << error;
    EXPECT_EQ(TempDir::Read(broken), before);
    EXPECT_FALSE(plexivar::platform::FileExists(broken + ".temp"));

    // Margins kept from an image of another width.
    const std::string other = dir.File("other.tif");
    ASSERT_TRUE(testing::WriteTiff(other, {image}));
    const std::string original = TempDir::Read(other);
    EXPECT_FALSE(ApplyMargins(other, 8, KeepMargins(Noise(72, 30, 7), 2, 0, 0, 0)));
    EXPECT_FALSE(ApplyMargins(other, 8, KeepMargins(Noise(64, 10, 7), 0, 0, 1, 0)));
    EXPECT_EQ(TempDir::Read(other), original);

    // A second image would be lost by the rewrite.
    ASSERT_TRUE(testing::WriteTiff(other, {image, image}));
    const std::string twoPages = TempDir::Read(other);
    EXPECT_FALSE(ApplyMargins(other, 8, KeepMargins(image, 2, 0, 0, 0)));
    EXPECT_EQ(TempDir::Read(other), twoPages);
}

}  // namespace
}  // namespace vestrel
