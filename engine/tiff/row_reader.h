// Sequential reading of the packed rows of a 1-bit, one-sample image, whatever its layout:
// stripped images are read scanline by scanline through the TIFF library; tiled images one
// band of tiles at a time (one tile row high, the full image wide), so memory stays at one
// band whatever the image height.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vestrel {

class RowReader {
  public:
    // Prepares reading the current image of `tif`. False with `error` set when the image is
    // not 1 bit per sample with one sample per pixel, has a zero or absurd size, or a tile
    // layout that cannot be assembled into rows.
    bool Init(TIFF* tif, std::string* error);

    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    // Packed bytes per row, (width + 7) / 8.
    std::uint32_t rowBytes() const { return rowBytes_; }
    bool tiled() const { return tiled_; }

    // Reads row `row` into `dest` (rowBytes() bytes). Rows are meant to be read in order;
    // a stripped image read backwards is decoded again from the start of its strip.
    // False when the library cannot decode the row.
    bool ReadRow(std::uint32_t row, std::uint8_t* dest);

  private:
    bool LoadBand(std::uint32_t firstRow);

    TIFF* tif_ = nullptr;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint32_t rowBytes_ = 0;
    bool tiled_ = false;
    // Tiled images only: one band of tile rows, `tileLength_` rows of `rowBytes_` bytes.
    std::uint32_t tileWidth_ = 0;
    std::uint32_t tileLength_ = 0;
    std::uint32_t bandFirstRow_ = 0;
    bool bandLoaded_ = false;
    std::vector<std::uint8_t> band_;
    std::vector<std::uint8_t> tile_;
};

}  // namespace vestrel
