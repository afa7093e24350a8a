#include "engine/tiff/row_reader.h"

#include <algorithm>
#include <cstring>

#include "engine/tiff/tiff_file.h"

namespace vestrel {

namespace {

void SetError(std::string* error, const std::string& text) {
    if (error != nullptr)
        *error = text;
}

}  // namespace

bool RowReader::Init(TIFF* tif, std::string* error) {
    *this = RowReader();
    tif_ = tif;
    std::uint16_t bits = 1;
    std::uint16_t samples = 1;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (bits != 1 || samples != 1) {
        SetError(error, "not a 1-bit image (" + std::to_string(bits) + " bits per sample, " +
                            std::to_string(samples) + " samples per pixel)");
        return false;
    }
    width_ = ImageWidth(tif);
    height_ = ImageLength(tif);
    if (width_ == 0 || height_ == 0) {
        SetError(error, "image has no pixels (" + std::to_string(width_) + " x " +
                            std::to_string(height_) + ")");
        return false;
    }
    const std::uint64_t rowBytes = (std::uint64_t{width_} + 7) / 8;
    if (rowBytes > kMaxRowBytes) {
        SetError(error, "image too wide (" + std::to_string(width_) + " pixels)");
        return false;
    }
    rowBytes_ = static_cast<std::uint32_t>(rowBytes);
    if (static_cast<std::uint64_t>(TIFFScanlineSize64(tif)) != rowBytes) {
        SetError(error, "unexpected scanline size");
        return false;
    }
    tiled_ = TIFFIsTiled(tif) != 0;
    if (!tiled_)
        return true;

    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth_);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength_);
    // Tiles start on whole bytes only when their width is a multiple of 8 pixels (the
    // format demands 16).
    if (tileWidth_ == 0 || tileLength_ == 0 || tileWidth_ % 8 != 0) {
        SetError(error, "unusable tile size " + std::to_string(tileWidth_) + " x " +
                            std::to_string(tileLength_));
        return false;
    }
    const std::uint64_t tileBytes = static_cast<std::uint64_t>(TIFFTileSize64(tif));
    const std::uint64_t bandBytes = std::uint64_t{tileLength_} * rowBytes_;
    if (tileBytes != std::uint64_t{tileLength_} * (tileWidth_ / 8) || tileBytes > kMaxChunkBytes ||
        bandBytes > kMaxChunkBytes) {
        SetError(error, "unusable tile size " + std::to_string(tileWidth_) + " x " +
                            std::to_string(tileLength_));
        return false;
    }
    tile_.resize(tileBytes);
    band_.resize(bandBytes);
    return true;
}

bool RowReader::ReadRow(std::uint32_t row, std::uint8_t* dest) {
    if (row >= height_)
        return false;
    if (!tiled_)
        return TIFFReadScanline(tif_, dest, row, 0) >= 0;
    if (!bandLoaded_ || row < bandFirstRow_ || row - bandFirstRow_ >= tileLength_) {
        if (!LoadBand(row - row % tileLength_))
            return false;
    }
    std::memcpy(dest, band_.data() + std::size_t{row - bandFirstRow_} * rowBytes_, rowBytes_);
    return true;
}

bool RowReader::LoadBand(std::uint32_t firstRow) {
    bandLoaded_ = false;
    const std::uint32_t tileRowBytes = tileWidth_ / 8;
    const std::uint32_t rows = std::min(tileLength_, height_ - firstRow);
    for (std::uint32_t x = 0; x < width_; x += tileWidth_) {
        if (TIFFReadTile(tif_, tile_.data(), x, firstRow, 0, 0) < 0)
            return false;
        // The last tile column may reach beyond the image; only its bytes inside a row count.
        const std::uint32_t offset = x / 8;
        const std::uint32_t count = std::min(tileRowBytes, rowBytes_ - offset);
        for (std::uint32_t r = 0; r < rows; ++r) {
            std::memcpy(band_.data() + std::size_t{r} * rowBytes_ + offset,
                        tile_.data() + std::size_t{r} * tileRowBytes, count);
        }
    }
    bandFirstRow_ = firstRow;
    bandLoaded_ = true;
    return true;
}

}  // namespace vestrel
