#include "service/image_description.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdint>
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

// A little-endian TIFF made by hand: the header, one directory at offset 8 with `entries`
// (tag, type, count, value or offset), then `tail`.
struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count, value;
};
std::string HandMadeTiff(const std::vector<Entry>& entries, const std::string& tail) {
    std::string bytes("II*\0", 4);
    const auto put = [&bytes](std::uint32_t v, int size) {
        for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    put(8, 4);
    put(static_cast<std::uint32_t>(entries.size()), 2);
    for (const Entry& e : entries) {
        put(e.tag, 2);
        put(e.type, 2);
        put(e.count, 4);
        put(e.value, 4);
    }
    put(0, 4);  // no further directory
    return bytes + tail;
}

// A 16 x 4 uncompressed image whose description (15 bytes with its NUL) and strip
// (8 bytes) lie at the given offsets.
std::string DamagedTiff(std::uint32_t descriptionAt, std::uint32_t stripAt,
                        const std::string& tail) {
    return HandMadeTiff({{256, 3, 1, 16},
                         {257, 3, 1, 4},
                         {258, 3, 1, 1},
                         {259, 3, 1, 1},
                         {262, 3, 1, 0},
                         {270, 2, 15, descriptionAt},
                         {273, 4, 1, stripAt},
                         {278, 3, 1, 4},
                         {279, 4, 1, 8}},
                        tail);
}

TEST(ReadImageDescription, DamagedFiles) {
    const std::string text = "M;98.5;101.2;3";
    const std::uint32_t end = 8 + 2 + 9 * 12 + 4;  // first byte after the directory
    const std::string whole = DamagedTiff(end, end + 15, text + '\0' + std::string(8, '\0'));
    struct Case {
        const char* what;
        std::string bytes;
        bool ok;
        std::string description;
        const char* error;  // part of the reason when !ok
    };
    const Case cases[] = {
        {"intact", whole, true, text, ""},
        // Only the directory is read: lost pixel data do not hide the description.
        {"strip beyond the end", DamagedTiff(end, 1 << 20, text + '\0'), true, text, ""},
        {"strip cut", whole.substr(0, whole.size() - 4), true, text, ""},
        // libtiff drops a tag it cannot read: the file counts as one without a description.
        {"description beyond the end", DamagedTiff(1 << 20, end, std::string(8, '\0')), true, "",
         ""},
        {"description cut", DamagedTiff(end, 8, text.substr(0, 5)), true, "", ""},
        {"directory cut", whole.substr(0, 40), false, "", "Can not read TIFF directory"},
        {"no directory", std::string("II*\0\0\0\0\0", 8), false, "", ""},
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::string description = "stale";
        std::string error;
        const bool ok =
            ReadImageDescription(dir.Write("damaged.tif", c.bytes), description, &error);
        EXPECT_EQ(ok, c.ok) << c.what << ": " << error;
        EXPECT_EQ(description, c.description) << c.what;
        if (!c.ok) {
            EXPECT_FALSE(error.empty()) << c.what;
            EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
        }
    }
}

TEST(ReadImageDescription, DamagedFixtures) {
    PLEXIVAR_REQUIRE_FIXTURES();
    // Cut inside its strip data; the directory at the start is intact and has no description.
    std::string description = "stale";
    std::string error;
    EXPECT_TRUE(
        ReadImageDescription(testing::FixturePath("var-truncated-g4.tif"), description, &error))
        << error;
    EXPECT_EQ(description, "");
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
