// Small 1-bit TIFF files written by the tests themselves.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/io/unique_tiff.h"

namespace vestrel::testing {

// Packed bytes of one row, (width + 7) / 8 of them.
using RowBytesFn = std::function<std::vector<std::uint8_t>(std::uint32_t row)>;

struct TestImage {
    std::uint32_t width = 64;
    std::uint32_t height = 16;
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint32_t rowsPerStrip = 8;
};

inline bool WriteTestTiff(const std::string& path, const TestImage& image, const RowBytesFn& row) {
    UniqueTiff tif(TIFFOpen(path.c_str(), "w"));
    if (!tif)
        return false;
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, image.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, image.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, image.photometric);
    TIFFSetField(t, TIFFTAG_COMPRESSION, image.compression);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, image.rowsPerStrip);
    for (std::uint32_t r = 0; r < image.height; ++r) {
        std::vector<std::uint8_t> bytes = row(r);
        bytes.resize((image.width + 7) / 8);
        if (TIFFWriteScanline(t, bytes.data(), r, 0) != 1)
            return false;
    }
    return TIFFWriteDirectory(t) == 1;
}

// An 8-bit grey image (mid grey, min-is-black): a TIFF that no 1-bit tool may take.
inline bool WriteGreyTiff(const std::string& path, std::uint32_t width, std::uint32_t height) {
    UniqueTiff tif(TIFFOpen(path.c_str(), "w"));
    TIFF* t = tif.get();
    if (t == nullptr)
        return false;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    std::vector<std::uint8_t> row(width, 0x80);
    for (std::uint32_t r = 0; r < height; ++r)
        if (TIFFWriteScanline(t, row.data(), r, 0) != 1)
            return false;
    return TIFFWriteDirectory(t) == 1;
}

inline UniqueTiff OpenTestTiff(const std::string& path) {
    return UniqueTiff(TIFFOpen(path.c_str(), "r"));
}

// A row pattern that differs from row to row and from byte to byte, with neither end of
// row 0 black (so that the image does not count as a negative).
inline std::vector<std::uint8_t> PatternRow(std::uint32_t row, std::uint32_t width) {
    std::vector<std::uint8_t> bytes((width + 7) / 8);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>((row * 37u + i * 11u + (row >> 8) * 5u) & 0xFFu);
    if (row == 0)
        bytes.front() = bytes.back() = 0x12;
    return bytes;
}

// The samples a packed row expands to (reference implementation, bit by bit).
inline std::vector<std::uint8_t> ExpectedSamples(const std::vector<std::uint8_t>& packed,
                                                 std::uint32_t width) {
    std::vector<std::uint8_t> samples(width);
    for (std::uint32_t x = 0; x < width; ++x)
        samples[x] = ((packed[x / 8] >> (7 - x % 8)) & 1) != 0 ? 0xFF : 0x00;
    return samples;
}

}  // namespace vestrel::testing
