// The source-row reader: serves the filter's requests for source rows of the input image,
// one byte per pixel (0x00 white, 0xFF black), from
//   cache     - the whole packed image, read at the first request of an image;
//   ring      - a ring of packed rows read ahead as the requests move down the image;
//   preloaded - a packed image the pipeline has already read and normalised.
// On the way it normalises polarity (min-is-black input and negatives are inverted, so the
// filter always sees a positive) and captures the preserved margins in the polarity the
// output will have.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/io/cache_decoder.h"
#include "engine/filter/area_desc.h"
#include "engine/io/read_buffer.h"
#include "engine/tiff/margin_store.h"
#include "engine/tiff/row_reader.h"
#include "engine/io/unique_tiff.h"
#include "vestrel/vestrel.h"

namespace vestrel {

enum class SourceMode { cache, ring, preloaded };

struct SourceReader;

// Reads packed row `row` of the reader's input into `buffer`; false on a read error.
using ScanlineReader = bool (*)(SourceReader& reader, std::uint8_t* buffer, std::uint32_t row);

// Reads through the reader's RowReader: strips scanline by scanline, tiles a band at a time.
bool ReadFileRow(SourceReader& reader, std::uint8_t* buffer, std::uint32_t row);

struct SourceReader {
    SourceMode mode = SourceMode::cache;
    UniqueTiff input;               // open input (cache and ring); closed after a read error
    std::uint16_t photometric = 0;  // 0 = min-is-white; any other value is inverted
    std::uint32_t inW = 0;          // pixels per row
    std::uint32_t inH = 0;          // rows
    std::size_t inRowBytes = 0;     // packed bytes per row
    ReadBuffer readBuffer;          // kept across runs; grows only
    std::size_t ringRows = 0;       // ring capacity in rows
    std::uint32_t ringFirst = 0;    // file row held in slot 0
    std::uint32_t held = 0;         // rows held in the ring
    std::uint32_t next = 0;         // next file row to read into the ring
    bool loaded = false;            // cache: the whole image is in the buffer
    bool negative = false;          // the image was detected as a negative
    MarginStore margins;            // margins captured while reading
    ProgressCallback progress = nullptr;
    RowReader fileRows;              // rows of `input`, whatever its layout
    ScanlineReader readScanline = &ReadFileRow;  // replaced by tests
    std::string error;                                // why the last request failed
    CacheDecoder decoder;  // cache mode: decodes the input on a second thread
};

// The one process-wide reader.
SourceReader& ActiveSourceReader();

// Prepares the reader for a run: takes the input, checks the geometry, sizes the read
// buffer (the whole packed image for cache and preloaded, `ringRows` rows for ring; an
// existing buffer is kept when large enough) and resets the ring state and the negative
// flag. The margin store is left alone. The progress function comes from EngineSetup.
// On failure returns false with the reason in `error` (the input is closed; a failed
// allocation releases the read buffer and sets `outOfMemory`).
bool StartSourceReader(SourceMode mode, UniqueTiff input, std::uint16_t photometric,
                       std::uint32_t inW, std::uint32_t inH, std::size_t inRowBytes,
                       std::size_t ringRows, std::string* error, bool* outOfMemory = nullptr);

// Closes the input at the end of a run (the read buffer stays for later runs).
void FinishSourceReader();

// Why reading file row `row` failed: "read error at input row <row>", followed by the TIFF
// library's own message when it gave one.
std::string ReadErrorText(const SourceReader& reader, std::uint32_t row);

// Closes the reader's input after a failure. The cache decoder may be reading it on its own
// thread: it is stopped and joined first, so the input is never closed under it.
void CloseSourceInput(SourceReader& reader);

// Sizes and zeroes the margin buffers of `store` for an image of `height` rows of
// `rowBytes` packed bytes. Margins larger than the image are limited to it. False when
// memory is short (the store is then cleared).
bool PrepareMarginStore(MarginStore& store, std::uint32_t rowBytes, std::uint32_t height,
                        std::uint32_t topRows, std::uint32_t bottomRows, std::uint32_t leftBytes,
                        std::uint32_t rightBytes);

// Source rows a filter request can span for a band of `lineBuffers` output rows at `sy`
// source rows per output row, with an averaging window of side `averagingSize` and, for
// the dot-gain filter, a further window of half-side `windowHalf`: the band's rows, a
// margin on each side and two rows for the rounding of the band edges. The source row
// set must hold this many rows (at most the image height is ever requested).
std::size_t RequiredSourceRows(int lineBuffers, double sy, int averagingSize, int windowHalf = 0);

// Ring capacity for requests of up to `requiredRows` rows: two requests, and never less
// than 4 bands of `lineBuffers` rows.
std::size_t RingRowsFor(int lineBuffers, std::size_t requiredRows);

// Fills request.rowTables[0][0 .. h-1] with the source rows request.y .. y + h - 1, expanded
// into `rows` (whole rows from column 0; rows beyond the image repeat its edge row).
// `first` = 1 restarts the ring, and re-reads the image in cache mode. Returns 1, or 0 on a
// read error (the input is then closed) or a request that does not fit `rows`.
int GetData(AreaDesc& request, SourceRowSet& rows, int first);

}  // namespace vestrel
