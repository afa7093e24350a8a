#include "tests/fuzz/fixture_crop.h"

#include <tiffio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace plexivar::fuzz {
namespace {

namespace fs = std::filesystem;

// Side of a crop in pixels: big enough for a few halftone dots, small enough to fuzz fast.
constexpr std::uint32_t kCropSide = 160;
constexpr int kMaxImages = 2;

struct Closer {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using Tiff = std::unique_ptr<TIFF, Closer>;

template <typename T>
void CopyTag(TIFF* from, TIFF* to, ttag_t tag) {
    T value{};
    if (TIFFGetField(from, tag, &value) == 1) TIFFSetField(to, tag, value);
}

// The rows [0, height) of the current image, `rowBytes` bytes each from the left edge.
bool ReadTopLeft(TIFF* src, std::uint32_t height, tmsize_t rowBytes,
                 std::vector<std::uint8_t>& pixels) {
    pixels.assign(static_cast<std::size_t>(height * rowBytes), 0);
    if (!TIFFIsTiled(src)) {
        std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(src)));
        for (std::uint32_t y = 0; y < height; ++y) {
            if (TIFFReadScanline(src, row.data(), y, 0) != 1) return y > 0;
            std::copy_n(row.begin(), rowBytes, pixels.begin() + y * rowBytes);
        }
        return true;
    }
    std::uint32_t tileWidth = 0, tileLength = 0;
    TIFFGetField(src, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(src, TIFFTAG_TILELENGTH, &tileLength);
    std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(src)));
    const tmsize_t tileRowBytes = TIFFTileRowSize(src);
    if (tileWidth == 0 || tileLength == 0 || tileRowBytes <= 0) return false;
    for (std::uint32_t ty = 0; ty < height; ty += tileLength) {
        for (tmsize_t tx = 0; tx * tileRowBytes < rowBytes; ++tx) {
            const auto x = static_cast<std::uint32_t>(tx) * tileWidth;
            if (TIFFReadTile(src, tile.data(), x, ty, 0, 0) < 0) return false;
            const tmsize_t bytes = std::min(tileRowBytes, rowBytes - tx * tileRowBytes);
            for (std::uint32_t y = ty; y < std::min(height, ty + tileLength); ++y)
                std::copy_n(tile.begin() + (y - ty) * tileRowBytes, bytes,
                            pixels.begin() + y * rowBytes + tx * tileRowBytes);
        }
    }
    return true;
}

// Writes the top-left corner of the current image of `src` as the current image of `dst`.
bool CropImage(TIFF* src, TIFF* dst) {
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 1, samples = 1;
    TIFFGetField(src, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(src, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(src, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(src, TIFFTAG_SAMPLESPERPIXEL, &samples);
    const std::uint32_t w = std::min(width, kCropSide), h = std::min(height, kCropSide);
    const tmsize_t rowBytes = (static_cast<tmsize_t>(w) * bits * samples + 7) / 8;
    std::vector<std::uint8_t> pixels;
    if (w == 0 || h == 0 || !ReadTopLeft(src, h, rowBytes, pixels)) return false;

    TIFFSetField(dst, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(dst, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(dst, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(dst, TIFFTAG_SAMPLESPERPIXEL, samples);
    for (ttag_t tag : {TIFFTAG_COMPRESSION, TIFFTAG_PHOTOMETRIC, TIFFTAG_FILLORDER,
                       TIFFTAG_RESOLUTIONUNIT, TIFFTAG_PLANARCONFIG, TIFFTAG_SUBFILETYPE})
        tag == TIFFTAG_SUBFILETYPE ? CopyTag<std::uint32_t>(src, dst, tag) : CopyTag<std::uint16_t>(src, dst, tag);
    for (ttag_t tag : {TIFFTAG_XRESOLUTION, TIFFTAG_YRESOLUTION}) CopyTag<float>(src, dst, tag);
    std::uint16_t page = 0, pages = 0;
    if (TIFFGetField(src, TIFFTAG_PAGENUMBER, &page, &pages) == 1)
        TIFFSetField(dst, TIFFTAG_PAGENUMBER, page, pages);
    if (TIFFIsTiled(src)) {
        TIFFSetField(dst, TIFFTAG_TILEWIDTH, 64);
        TIFFSetField(dst, TIFFTAG_TILELENGTH, 64);
        std::vector<std::uint8_t> tile(static_cast<std::size_t>(TIFFTileSize(dst)), 0);
        const tmsize_t tileRowBytes = TIFFTileRowSize(dst);
        for (std::uint32_t ty = 0; ty < h; ty += 64) {
            for (std::uint32_t tx = 0; tx < w; tx += 64) {
                std::fill(tile.begin(), tile.end(), 0);
                const tmsize_t offset = static_cast<tmsize_t>(tx / 64) * tileRowBytes;
                const tmsize_t bytes = std::min(tileRowBytes, rowBytes - offset);
                for (std::uint32_t y = ty; y < std::min(h, ty + 64); ++y)
                    std::copy_n(pixels.begin() + y * rowBytes + offset, bytes,
                                tile.begin() + (y - ty) * tileRowBytes);
                if (TIFFWriteTile(dst, tile.data(), tx, ty, 0, 0) < 0) return false;
            }
        }
    } else {
        TIFFSetField(dst, TIFFTAG_ROWSPERSTRIP, 16);
        for (std::uint32_t y = 0; y < h; ++y)
            if (TIFFWriteScanline(dst, pixels.data() + y * rowBytes, y, 0) != 1) return false;
    }
    return TIFFWriteDirectory(dst) == 1;
}

std::string ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace

std::vector<std::string> FixtureCrops(const std::string& fixturesDir, const std::string& scratch) {
    std::vector<std::string> crops;
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fixturesDir, ec))
        if (entry.path().extension() == ".tif") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    // The samples' readers warn about what they skip; seeds are no place for that.
    const TIFFErrorHandler warnings = TIFFSetWarningHandler(nullptr);
    const TIFFErrorHandler errors = TIFFSetErrorHandler(nullptr);
    const std::string out = scratch + "/crop.tif";
    for (const fs::path& file : files) {
        Tiff src(TIFFOpen(file.c_str(), "r"));
        if (!src) continue;
        bool written = false;
        {
            Tiff dst(TIFFOpen(out.c_str(), TIFFIsBigEndian(src.get()) ? "wb" : "wl"));
            for (int image = 0; dst && image < kMaxImages; ++image) {
                written = CropImage(src.get(), dst.get()) || written;
                if (TIFFReadDirectory(src.get()) != 1) break;
            }
        }
        if (!written) continue;
        std::string bytes = ReadWhole(out);
        crops.push_back(bytes);
        crops.push_back(bytes.substr(0, bytes.size() * 3 / 5));
    }
    TIFFSetWarningHandler(warnings);
    TIFFSetErrorHandler(errors);
    return crops;
}

}  // namespace plexivar::fuzz
