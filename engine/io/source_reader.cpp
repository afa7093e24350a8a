#include "engine/io/source_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "engine/api/engine_setup.h"
#include "engine/io/row_expansion.h"
#include "engine/io/source_rows.h"
#include "engine/tiff/tiff_open.h"

namespace vestrel {

bool ReadFileRow(SourceReader& reader, std::uint8_t* buffer, std::uint32_t row) {
    return reader.fileRows.ReadRow(row, buffer);
}

SourceReader& ActiveSourceReader() {
    static SourceReader reader;
    return reader;
}

bool StartSourceReader(SourceMode mode, UniqueTiff input, std::uint16_t photometric,
                       std::uint32_t inW, std::uint32_t inH, std::size_t inRowBytes,
                       std::size_t ringRows, std::string* error, bool* outOfMemory) {
    SourceReader& r = ActiveSourceReader();
    CloseSourceInput(r);
    r.mode = mode;
    r.photometric = photometric;
    r.inW = inW;
    r.inH = inH;
    r.inRowBytes = inRowBytes;
    r.ringRows = mode == SourceMode::ring ? ringRows : static_cast<std::size_t>(inH);
    r.ringFirst = r.held = r.next = 0;
    r.loaded = false;
    r.negative = false;
    r.progress = ProcessSetup().progress;
    r.error.clear();

    auto fail = [&](std::string why) {
        if (error != nullptr)
            *error = why;
        r.error = std::move(why);
        return false;
    };
    if (inW == 0 || inH == 0)
        return fail("empty image");
    if (inRowBytes < (static_cast<std::size_t>(inW) + 7) / 8)
        return fail("row size too small for the image width");
    if (mode != SourceMode::preloaded) {
        if (!input)
            return fail("no input file");
        if (std::string why; !r.fileRows.Init(input.get(), &why))
            return fail(why);
        // A whole row is written into the buffer: it must fit a row slot.
        if (r.fileRows.rowBytes() > inRowBytes || r.fileRows.width() != inW)
            return fail("row size too small for the file's rows");
    }
    if (mode == SourceMode::ring && ringRows == 0)
        return fail("ring without rows");
    if (r.ringRows > std::numeric_limits<std::size_t>::max() / inRowBytes)
        return fail("image too large");
    const std::size_t bytes = r.ringRows * inRowBytes;
    if (mode == SourceMode::preloaded) {
        // The pipeline has filled the buffer already; it must hold the whole image.
        if (r.readBuffer.size() < bytes)
            return fail("preloaded image missing");
    } else if (std::string why; !r.readBuffer.Reserve(bytes, &why)) {
        if (outOfMemory != nullptr)
            *outOfMemory = true;
        return fail(why);
    }
    r.input = std::move(input);
    return true;
}

void FinishSourceReader() {
    SourceReader& r = ActiveSourceReader();
    CloseSourceInput(r);
    r.loaded = false;
}

std::string ReadErrorText(const SourceReader& r, std::uint32_t row) {
    std::string text = "read error at input row " + std::to_string(row);
    if (const std::string why = LastTiffError(r.input.get()); !why.empty())
        text += " (" + why + ")";
    return text;
}

void CloseSourceInput(SourceReader& r) {
    r.decoder.Stop();
    r.input.reset();
}

bool PrepareMarginStore(MarginStore& store, std::uint32_t rowBytes, std::uint32_t height,
                        std::uint32_t topRows, std::uint32_t bottomRows, std::uint32_t leftBytes,
                        std::uint32_t rightBytes) {
    store.Clear();
    store.rowBytes = rowBytes;
    store.topRows = std::min(topRows, height);
    store.bottomRows = std::min(bottomRows, height);
    store.leftBytes = std::min(leftBytes, rowBytes);
    store.rightBytes = std::min(rightBytes, rowBytes);
    try {
        store.top.assign(static_cast<std::size_t>(store.topRows) * rowBytes, 0);
        store.bottom.assign(static_cast<std::size_t>(store.bottomRows) * rowBytes, 0);
        store.left.assign(static_cast<std::size_t>(height) * store.leftBytes, 0);
        store.right.assign(static_cast<std::size_t>(height) * store.rightBytes, 0);
    } catch (const std::bad_alloc&) {
        store.Clear();
        return false;
    }
    return true;
}

std::size_t RequiredSourceRows(int lineBuffers, double sy, int averagingSize, int windowHalf) {
    const double band = static_cast<double>(std::max(lineBuffers, 1));
    const double factor = (std::isfinite(sy) && sy > 0.0) ? sy : 1.0;
    const int margin = std::max(std::max(averagingSize, 1) / 2 + 1, std::max(windowHalf, 0));
    // Each band edge is rounded on its own (one row), and single-precision factors can put
    // it one row further: three rows of slack beyond the two margins.
    return static_cast<std::size_t>(std::ceil(band * factor)) +
           2 * static_cast<std::size_t>(margin) + 3;
}

std::size_t RingRowsFor(int lineBuffers, std::size_t requiredRows) {
    return std::max(4 * static_cast<std::size_t>(std::max(lineBuffers, 1)), 2 * requiredRows);
}

int GetData(AreaDesc& request, SourceRowSet& rows, int first) {
    SourceReader& r = ActiveSourceReader();
    if (request.present == 0)
        return 1;

    const std::size_t n = request.h > 0 ? static_cast<std::size_t>(request.h) : 0;
    if (n > 0 && (request.rowTables == nullptr || request.rowTables[0] == nullptr)) {
        r.error = "request without a row table";
        return 0;
    }
    if (n > rows.rows || rows.rowBytes < r.inW || rows.data.size() < rows.rows * rows.rowBytes) {
        r.error = "request larger than the source row set";
        CloseSourceInput(r);
        return 0;
    }
    if (r.inH == 0) {
        r.error = "reader not started";
        return 0;
    }

    bool served = false;
    switch (r.mode) {
        case SourceMode::cache:
            served = ServeFromCache(r, request, rows, first != 0);
            break;
        case SourceMode::ring:
            served = ServeFromRing(r, request, rows, first != 0);
            break;
        case SourceMode::preloaded:
            served = ServeWhole(r, request, rows);
            break;
    }
    if (!served)
        return 0;

    if (r.progress != nullptr) {
        const auto y = static_cast<std::uint64_t>(std::max(request.y, 0));
        r.progress(static_cast<int>(y * 100 / r.inH));
    }
    return 1;
}

}  // namespace vestrel
