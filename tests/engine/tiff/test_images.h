// Small 1-bit TIFF images written and read back by the TIFF utility tests.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vestrel::testing {

// One packed 1-bit image, rows of (width + 7) / 8 bytes, spare bits 0.
struct Image {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> bits;

    std::uint32_t rowBytes() const { return (width + 7) / 8; }
    std::uint8_t* row(std::uint32_t y) { return bits.data() + std::size_t{y} * rowBytes(); }
    const std::uint8_t* row(std::uint32_t y) const {
        return bits.data() + std::size_t{y} * rowBytes();
    }
    bool pixel(std::uint32_t x, std::uint32_t y) const {
        return (row(y)[x / 8] >> (7 - x % 8)) & 1;
    }
    bool operator==(const Image&) const = default;
};

// A deterministic noise image (about half the pixels set) that differs for every seed.
inline Image Noise(std::uint32_t width, std::uint32_t height, std::uint32_t seed) {
    Image image{width, height, {}};
    image.bits.resize(std::size_t{image.rowBytes()} * height);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& byte : image.bits) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    if (width % 8 != 0) {
        const auto mask = static_cast<std::uint8_t>(0xFF << (8 - width % 8));
        for (std::uint32_t y = 0; y < height; ++y) image.row(y)[image.rowBytes() - 1] &= mask;
    }
    return image;
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

struct FileLayout {
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint32_t rowsPerStrip = 256;
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    // Row whose strip is written one byte short, so that decoding it fails (strips of one
    // row, uncompressed only); -1 for none.
    long brokenRow = -1;
    std::uint32_t group3Options = 0;  // written when not 0 (Group 3 only)
    bool group4Options = false;       // write Group4Options 0 (Group 4 only)
};

// Writes `pages` as the images of one file; page i carries PageNumber i/n and a description.
inline bool WriteTiff(const std::string& path, const std::vector<Image>& pages,
                      const FileLayout& layout = {}) {
    TiffPtr tif(TIFFOpen(path.c_str(), "w"));
    if (!tif)
        return false;
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const Image& image = pages[p];
        TIFF* t = tif.get();
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, image.width);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, image.height);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_COMPRESSION, layout.compression);
        if (layout.group3Options != 0)
            TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, layout.group3Options);
        if (layout.group4Options)
            TIFFSetField(t, TIFFTAG_GROUP4OPTIONS, 0);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, layout.photometric);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, layout.brokenRow >= 0 ? 1u : layout.rowsPerStrip);
        TIFFSetField(t, TIFFTAG_XRESOLUTION, 1270.0);
        TIFFSetField(t, TIFFTAG_YRESOLUTION, 2540.0);
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(t, TIFFTAG_PAGENUMBER, static_cast<int>(p), static_cast<int>(pages.size()));
        TIFFSetField(t, TIFFTAG_IMAGEDESCRIPTION, ("page " + std::to_string(p)).c_str());
        if (layout.brokenRow >= 0) {
            for (std::uint32_t y = 0; y < image.height; ++y) {
                const tmsize_t bytes = image.rowBytes() - (y == layout.brokenRow ? 1 : 0);
                if (TIFFWriteRawStrip(t, y, const_cast<std::uint8_t*>(image.row(y)), bytes) < 0)
                    return false;
            }
        } else {
            for (std::uint32_t y = 0; y < image.height; ++y) {
                if (TIFFWriteScanline(t, const_cast<std::uint8_t*>(image.row(y)), y, 0) < 0)
                    return false;
            }
        }
        if (TIFFWriteDirectory(t) != 1)
            return false;
    }
    return true;
}

// Every image of a stripped 1-bit file as decoded rows; empty when the file cannot be read
// whole.
inline std::vector<Image> ReadTiff(const std::string& path) {
    std::vector<Image> pages;
    TiffPtr tif(TIFFOpen(path.c_str(), "r"));
    if (!tif)
        return {};
    do {
        Image image;
        TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &image.width);
        TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &image.height);
        // Only stripped 1-bit images are read; anything else would overrun the rows.
        if (TIFFIsTiled(tif.get()) || TIFFScanlineSize64(tif.get()) != image.rowBytes())
            return {};
        image.bits.resize(std::size_t{image.rowBytes()} * image.height);
        for (std::uint32_t y = 0; y < image.height; ++y) {
            if (TIFFReadScanline(tif.get(), image.row(y), y, 0) < 0)
                return {};
        }
        pages.push_back(std::move(image));
    } while (TIFFReadDirectory(tif.get()));
    return pages;
}

// One 16-bit or 32-bit tag of the first image; `fallback` when absent.
template <typename T>
T TagOf(const std::string& path, ttag_t tag, T fallback = T{}, int directory = 0) {
    TiffPtr tif(TIFFOpen(path.c_str(), "r"));
    T value = fallback;
    if (tif && TIFFSetDirectory(tif.get(), static_cast<tdir_t>(directory)))
        TIFFGetField(tif.get(), tag, &value);
    return value;
}

inline std::string StringTagOf(const std::string& path, ttag_t tag, int directory = 0) {
    TiffPtr tif(TIFFOpen(path.c_str(), "r"));
    const char* value = nullptr;
    if (tif && TIFFSetDirectory(tif.get(), static_cast<tdir_t>(directory)) &&
        TIFFGetField(tif.get(), tag, &value) == 1 && value != nullptr)
        return value;
    return "<absent>";
}

}  // namespace vestrel::testing
