// Damaged and hostile files: every utility refuses them with an error, leaves the file as
// it was and never reads outside a buffer (run under the sanitizers).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/tiff/apply_margins.h"
#include "engine/tiff/background_merge.h"
#include "engine/tiff/rewrite_strips.h"
#include "platform/file_ops.h"
#include "tests/engine/tiff/test_images.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

using plexivar::testing::TempDir;

// A little-endian one-strip, uncompressed, 1-bit TIFF with the given header values and
// `dataBytes` bytes of pixel data (which may disagree with the header on purpose).
std::string HandMadeTiff(std::uint32_t width, std::uint32_t height, std::uint32_t stripBytes,
                         std::uint32_t dataBytes) {
    std::string file = std::string("II*\0", 4);
    const auto put16 = [&](std::uint32_t v) {
        file.push_back(static_cast<char>(v & 0xFF));
        file.push_back(static_cast<char>((v >> 8) & 0xFF));
    };
    const auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    put32(8);
    const std::uint32_t entries = 8;
    const std::uint32_t dataOffset = 8 + 2 + entries * 12 + 4;
    put16(entries);
    const auto entry = [&](std::uint32_t tag, std::uint32_t type, std::uint32_t value) {
        put16(tag);
        put16(type);
        put32(1);
        if (type == 3) {
            put16(value);
            put16(0);
        } else {
            put32(value);
        }
    };
    entry(TIFFTAG_IMAGEWIDTH, 4, width);
    entry(TIFFTAG_IMAGELENGTH, 4, height);
    entry(TIFFTAG_BITSPERSAMPLE, 3, 1);
    entry(TIFFTAG_COMPRESSION, 3, COMPRESSION_NONE);
    entry(TIFFTAG_PHOTOMETRIC, 3, PHOTOMETRIC_MINISWHITE);
    entry(TIFFTAG_STRIPOFFSETS, 4, dataOffset);
    entry(TIFFTAG_ROWSPERSTRIP, 4, height);
    entry(TIFFTAG_STRIPBYTECOUNTS, 4, stripBytes);
    put32(0);
    file.append(dataBytes, '\x55');
    return file;
}

struct Damage {
    const char* name;
    std::string content;
};

std::vector<Damage> DamagedFiles() {
    return {
        {"zero-width.tif", HandMadeTiff(0, 10, 10, 10)},
        {"zero-height.tif", HandMadeTiff(16, 0, 0, 0)},
        {"too-wide.tif", HandMadeTiff(0xFFFFFFF0u, 2, 64, 64)},
        {"short-data.tif", HandMadeTiff(64, 100, 800, 300)},
        {"strip-beyond-end.tif", HandMadeTiff(64, 100, 0x7FFFFFF0u, 16)},
        {"empty.tif", ""},
        {"header-only.tif", std::string("II*\0\x08\0\0\0", 8)},
    };
}

TEST(DamagedInput, RewritesFailAndRestoreTheFile) {
    TempDir dir;
    MarginStore store;
    store.topRows = 1;
    for (const Damage& damage : DamagedFiles()) {
        const std::string path = dir.Write(damage.name, damage.content);
        std::string error;
        EXPECT_FALSE(RewriteStrips(path, 16, nullptr, &error)) << damage.name;
        EXPECT_FALSE(error.empty()) << damage.name;
        EXPECT_FALSE(ApplyMargins(path, 16, store, &error)) << damage.name;
        EXPECT_FALSE(error.empty()) << damage.name;
        EXPECT_EQ(TempDir::Read(path), damage.content) << damage.name;
        EXPECT_FALSE(plexivar::platform::FileExists(path + ".temp")) << damage.name;
    }
}

TEST(DamagedInput, MergeFailsWithAMessageAndNoOutput) {
    TempDir dir;
    const std::string good = dir.File("good.tif");
    ASSERT_TRUE(testing::WriteTiff(good, {testing::Noise(64, 100, 1)}));
    const std::string out = dir.File("out.tif");
    for (const Damage& damage : DamagedFiles()) {
        const std::string path = dir.Write(damage.name, damage.content);
        std::string error;
        EXPECT_FALSE(MergeBackground(good, path, out, "", kPassThroughCompression, &error))
            << damage.name;
        EXPECT_FALSE(error.empty()) << damage.name;
        EXPECT_FALSE(plexivar::platform::FileExists(out)) << damage.name;
    }
}

}  // namespace
}  // namespace vestrel
