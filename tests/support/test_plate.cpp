#include "tests/support/test_plate.h"

#include <tiffio.h>

#include <memory>
#include <vector>

namespace plexivar::testing {
namespace {

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// Ink at (x, y): a two-pixel border, and inside it a tone ramp from left (paper) to right
// (ink) screened by an 8 x 8 ordered threshold.
bool Ink(std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h) {
    if (x < 2 || y < 2 || x + 2 >= w || y + 2 >= h) return true;
    static constexpr int kBayer[8][8] = {
        {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
        {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
        {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
        {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    const int tone = static_cast<int>(64u * x / w);
    return tone > kBayer[y % 8][x % 8];
}

}  // namespace

bool WriteTestPlate(const std::string& path, const TestPlate& plate) {
    TiffPtr tif(TIFFOpen(path.c_str(), "w"));
    if (!tif) return false;
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, plate.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, plate.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, plate.height);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, plate.dpi);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, plate.dpi);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (!plate.description.empty())
        TIFFSetField(t, TIFFTAG_IMAGEDESCRIPTION, plate.description.c_str());
    std::vector<std::uint8_t> row((plate.width + 7) / 8);
    for (std::uint32_t y = 0; y < plate.height; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (std::uint32_t x = 0; x < plate.width; ++x)
            if (Ink(x, y, plate.width, plate.height))
                row[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
        if (TIFFWriteScanline(t, row.data(), y, 0) != 1) return false;
    }
    return TIFFWriteDirectory(t) == 1;
}

bool ReadPlateFacts(const std::string& path, PlateFacts& facts) {
    TIFFSetWarningHandler(nullptr);
    TiffPtr tif(TIFFOpen(path.c_str(), "r"));
    if (!tif) return false;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &facts.width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &facts.height);
    TIFFGetField(tif.get(), TIFFTAG_XRESOLUTION, &facts.dpiX);
    TIFFGetField(tif.get(), TIFFTAG_YRESOLUTION, &facts.dpiY);
    return true;
}

}  // namespace plexivar::testing
