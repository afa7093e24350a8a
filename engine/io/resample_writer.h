// Writes the filtered bands of a resampling run into the working file: either band by band
// as strips of the scaled size, or, when the page size is kept, row by row onto a canvas of
// the input's size with the scaled image placed by the references (blank rows and columns
// around it, the image cropped where it is larger than the canvas).
//
// Packing happens on the caller's thread; the encoding and writing of a packed band runs on
// a second thread while the caller filters the next band. Two band buffers alternate: the
// one being written and the one being packed.
#pragma once

#include <tiffio.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/filter/serial_worker.h"

namespace vestrel {

struct WriterLayout {
    bool keepSize = false;
    std::uint32_t outW = 0;  // scaled image
    std::uint32_t outH = 0;
    std::uint32_t canvasW = 0;  // input size: the canvas of a kept page
    std::uint32_t canvasH = 0;
    std::int64_t xOff = 0;  // placement of the scaled image on the canvas (may be negative)
    std::int64_t yOff = 0;
    int bandRows = 1024;   // most rows of one filtered band
    int stripRows = 1024;  // rows of one strip of the scaled image (not a kept page)
};

class ResampleWriter {
public:
    // Allocates the band buffers and the blank row. False when memory is short.
    bool Start(TIFF* out, const WriterLayout& layout, std::string* error);

    // Packs one band of `n` filtered rows (one byte per pixel) that starts at output row `y`
    // and hands it to the writing thread: a kept page row by row, the scaled image once a
    // strip of `stripRows` rows (or the last one) is complete. `negative`: the input was a
    // negative; its rows are inverted back and its blank areas are black. False with the
    // message when a write of this or an earlier band failed.
    bool WriteBand(const std::vector<std::uint8_t*>& rows, int n, std::uint32_t y, bool negative,
                   const std::string& workPath, std::string* error);

    // Writes what is left (the blank rows below a kept page) and waits for every write.
    // False when a write failed.
    bool Finish(const std::string& workPath, std::string* error);

private:
    // One canvas row to write: scanline number and its packed bytes.
    struct ScanlineJob {
        std::uint32_t row;
        const std::uint8_t* bytes;
    };
    // Plans the blank scanlines still owed to the canvas, up to `count` of them.
    void PlanBlankRows(std::int64_t count, std::vector<ScanlineJob>& plan);
    bool PostScanlines(std::vector<ScanlineJob> plan, const std::string& workPath,
                       std::string* error);

    TIFF* out_ = nullptr;
    WriterLayout layout_;
    std::size_t outRowBytes_ = 0;
    std::size_t canvasRowBytes_ = 0;
    std::array<std::vector<std::uint8_t>, 2> bands_;
    int current_ = 0;  // band buffer being packed
    std::size_t filled_ = 0;  // rows of the strip being packed (scaled image)
    std::vector<std::uint8_t> blank_;
    bool blankFilled_ = false;
    std::uint32_t strip_ = 0;
    std::uint32_t row_ = 0;  // next canvas row (kept page)
    SerialWorker worker_;    // last: stopped before the buffers it writes from go away
};

}  // namespace vestrel
