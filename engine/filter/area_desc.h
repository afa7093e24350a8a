// The rectangle descriptor that the pipelines and the filter exchange, and the seam through
// which the filter asks for source rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vestrel {

// A rectangle of an image. Rows are one byte per pixel: 0 white, 255 black for 1-bit data,
// 0..255 for grey.
struct AreaDesc {
    std::uint32_t imageWidth = 0;   // width of the whole image in pixels
    std::uint32_t imageHeight = 0;  // height of the whole image in rows
    std::uint32_t separations = 1;  // number of separations (always 1 here)
    std::uint32_t present = 0;      // 0: the area holds no data and is skipped
    std::int32_t x = 0;             // left column of the area
    std::int32_t y = 0;             // top row of the area
    std::int32_t w = 0;             // width of the area in pixels
    std::int32_t h = 0;             // height of the area in rows
    // One row-pointer table per separation; each holds h pointers to rows of the area.
    std::uint8_t*** rowTables = nullptr;
};

// Byte-per-pixel rows owned by the pipeline, into which the source-row reader expands the
// rows of a request. `rows` rows of `rowBytes` bytes each (rowBytes >= source width).
struct SourceRowSet {
    std::vector<std::uint8_t> data;
    std::size_t rowBytes = 0;
    std::size_t rows = 0;

    void Allocate(std::size_t rowCount, std::size_t bytesPerRow) {
        rows = rowCount;
        rowBytes = bytesPerRow;
        data.assign(rowCount * bytesPerRow, 0);
    }
    std::uint8_t* Row(std::size_t k) { return data.data() + k * rowBytes; }
};

// The source-row reader: fills request.rowTables[0][0..h-1] with the source rows
// request.y .. request.y + h - 1 (whole rows from column 0), expanded into `rows`.
// `first` is 1 for the first request of an image. Returns non-zero on success.
// The filter calls it through this pointer so that tests can serve rows of their own.
using GetDataFn = int (*)(AreaDesc& request, SourceRowSet& rows, int first);

}  // namespace vestrel
