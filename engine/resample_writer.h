// Writes the filtered bands of a resampling run into the working file: either band by band
// as strips of the scaled size, or, when the page size is kept, row by row onto a canvas of
// the input's size with the scaled image placed by the references (blank rows and columns
// around it, the image cropped where it is larger than the canvas).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tiffio.h>

namespace vestrel {

struct WriterLayout {
    bool keepSize = false;
    std::uint32_t outW = 0;  // scaled image
    std::uint32_t outH = 0;
    std::uint32_t canvasW = 0;  // input size: the canvas of a kept page
    std::uint32_t canvasH = 0;
    std::int64_t xOff = 0;  // placement of the scaled image on the canvas (may be negative)
    std::int64_t yOff = 0;
    int bandRows = 1024;  // most rows of one band
};

class ResampleWriter {
public:
    // Allocates the band buffer and the blank row. False when memory is short.
    bool Start(TIFF* out, const WriterLayout& layout, std::string* error);

    // Packs and writes one band of `n` filtered rows (one byte per pixel) that starts at
    // output row `y`. `negative`: the input was a negative; its rows are inverted back and
    // its blank areas are black. False with the message when a write fails.
    bool WriteBand(const std::vector<std::uint8_t*>& rows, int n, std::uint32_t y, bool negative,
                   const std::string& workPath, std::string* error);

    // Kept page: writes the blank rows below the image. False when a write fails.
    bool Finish(const std::string& workPath, std::string* error);

private:
    bool WriteBlankRows(std::int64_t count, const std::string& workPath, std::string* error);

    TIFF* out_ = nullptr;
    WriterLayout layout_;
    std::size_t outRowBytes_ = 0;
    std::size_t canvasRowBytes_ = 0;
    std::vector<std::uint8_t> band_;
    std::vector<std::uint8_t> blank_;
    bool blankFilled_ = false;
    std::uint32_t strip_ = 0;
    std::uint32_t row_ = 0;  // next canvas row (kept page)
};

}  // namespace vestrel
