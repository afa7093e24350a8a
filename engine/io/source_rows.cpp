#include "engine/io/source_rows.h"

#include <algorithm>
#include <cstring>

#include "engine/io/row_expansion.h"

namespace vestrel {
namespace {

void InvertRow(std::uint8_t* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
}

std::uint32_t ClampRow(std::int64_t row, std::uint32_t height) {
    if (row < 0)
        return 0;
    if (row >= static_cast<std::int64_t>(height))
        return height - 1;
    return static_cast<std::uint32_t>(row);
}

// Margins are kept exactly as the output will carry them, so they are captured after the
// min-is-black inversion and before the negative inversion (the writer re-inverts the
// output of a negative). Rows are placed by file row, so reading a row again is harmless.
void CaptureMargins(MarginStore& m, const std::uint8_t* row, std::size_t rowBytes,
                    std::uint32_t fileRow, std::uint32_t height) {
    const std::size_t copy = std::min<std::size_t>(m.rowBytes, rowBytes);
    if (fileRow < m.topRows && m.top.size() >= (fileRow + std::size_t{1}) * m.rowBytes)
        std::memcpy(m.top.data() + std::size_t{fileRow} * m.rowBytes, row, copy);
    if (m.bottomRows > 0 && m.bottomRows <= height && fileRow >= height - m.bottomRows) {
        const std::uint32_t slot = fileRow - (height - m.bottomRows);
        if (m.bottom.size() >= (slot + std::size_t{1}) * m.rowBytes) {
            std::memcpy(m.bottom.data() + std::size_t{slot} * m.rowBytes, row, copy);
            m.bottomSlot = std::max(m.bottomSlot, slot + 1);
        }
    }
    if (m.leftBytes > 0 && m.leftBytes <= rowBytes &&
        m.left.size() >= (fileRow + std::size_t{1}) * m.leftBytes)
        std::memcpy(m.left.data() + std::size_t{fileRow} * m.leftBytes, row, m.leftBytes);
    if (m.rightBytes > 0 && m.rightBytes <= rowBytes &&
        m.right.size() >= (fileRow + std::size_t{1}) * m.rightBytes)
        std::memcpy(m.right.data() + std::size_t{fileRow} * m.rightBytes,
                    row + rowBytes - m.rightBytes, m.rightBytes);
}

// Reads one file row into `slot` and normalises it; a read error closes the input.
bool ReadRow(SourceReader& r, std::uint8_t* slot, std::uint32_t fileRow, bool first) {
    if (!r.input || !r.readScanline(r, slot, fileRow)) {
        r.error = r.input ? ReadErrorText(r, fileRow) : "input closed";
        CloseSourceInput(r);
        r.loaded = false;
        return false;
    }
    NormaliseRow(r, slot, fileRow, first);
    return true;
}

// Expands `count` served rows; `source(k)` gives the packed row for request row k.
template <typename Source>
void Expand(SourceReader& r, AreaDesc& request, SourceRowSet& rows, std::size_t count,
            Source source) {
    for (std::size_t k = 0; k < count; ++k) {
        std::uint8_t* out = rows.Row(k);
        ExpandRow(source(k), r.inW, out);
        request.rowTables[0][k] = out;
    }
}

std::size_t RequestRows(const AreaDesc& request) {
    return request.h > 0 ? static_cast<std::size_t>(request.h) : 0;
}

}  // namespace

void NormaliseRow(SourceReader& r, std::uint8_t* row, std::uint32_t fileRow, bool first) {
    if (r.photometric != 0)
        InvertRow(row, r.inRowBytes);
    if (first && fileRow == 0)
        r.negative = row[0] == 0xFF && row[r.inRowBytes - 1] == 0xFF;
    CaptureMargins(r.margins, row, r.inRowBytes, fileRow, r.inH);
    if (r.negative)
        InvertRow(row, r.inRowBytes);
}

bool ServeWhole(SourceReader& r, AreaDesc& request, SourceRowSet& rows) {
    // Rows above or below the image repeat its edge rows rather than reading outside it.
    const std::uint8_t* base = r.readBuffer.data();
    Expand(r, request, rows, RequestRows(request), [&](std::size_t k) {
        return base + std::size_t{ClampRow(std::int64_t{request.y} + std::int64_t(k), r.inH)} *
                          r.inRowBytes;
    });
    return true;
}

bool ServeFromCache(SourceReader& r, AreaDesc& request, SourceRowSet& rows, bool first) {
    if (first || !r.loaded) {
        r.decoder.Stop();
        if (!r.input) {
            r.error = "input closed";
            r.loaded = false;
            return false;
        }
        r.negative = false;
        r.decoder.Start(r);
        r.loaded = true;
    }
    // Rows are decoded in order: waiting for the last row of the request covers them all.
    const std::size_t n = RequestRows(request);
    const std::uint32_t last =
        ClampRow(std::int64_t{request.y} + std::int64_t(n > 0 ? n - 1 : 0), r.inH);
    if (!r.decoder.WaitForRows(last + 1)) {
        CloseSourceInput(r);
        r.loaded = false;
        return false;
    }
    return ServeWhole(r, request, rows);
}

bool ServeFromRing(SourceReader& r, AreaDesc& request, SourceRowSet& rows, bool first) {
    if (first) {
        r.ringFirst = r.held = r.next = 0;
        r.negative = false;
        r.margins.bottomSlot = 0;
    }
    const std::size_t n = RequestRows(request);
    // The file rows the request needs, limited to the image: [top, end).
    const std::uint32_t top = ClampRow(request.y, r.inH);
    const std::uint32_t end = std::max<std::uint32_t>(
        top + 1, ClampRow(std::int64_t{request.y} + std::int64_t(n) - 1, r.inH) + 1);
    const std::size_t need = end - top;
    if (need > r.ringRows) {
        r.error = "request larger than the ring";
        CloseSourceInput(r);
        return false;
    }
    std::uint8_t* const slots = r.readBuffer.data();
    const std::size_t rowBytes = r.inRowBytes;

    if (top < r.ringFirst) {
        // Requests normally only move down; one that moves back restarts the ring there.
        r.ringFirst = r.next = top;
        r.held = 0;
    } else if (const std::uint32_t shift = top - r.ringFirst; shift >= r.held) {
        // Nothing held is wanted any more. Rows passed over are still read once, so that
        // the negative check and the margins see every row.
        r.held = 0;
        for (; r.next < top; ++r.next)
            if (!ReadRow(r, slots, r.next, first))
                return false;
        r.ringFirst = top;
    } else if (shift > 0) {
        r.held -= shift;
        std::memmove(slots, slots + std::size_t{shift} * rowBytes, std::size_t{r.held} * rowBytes);
        r.ringFirst = top;
    }

    if (r.held < need) {
        // Read ahead to twice the request (within the ring and the image), so that the
        // overlapping request of the next band finds its rows held.
        const std::size_t target =
            std::min({2 * need, r.ringRows, std::size_t{r.inH - r.ringFirst}});
        while (r.held < target) {
            if (!ReadRow(r, slots + std::size_t{r.held} * rowBytes, r.next, first))
                return false;
            ++r.held;
            ++r.next;
        }
    }

    Expand(r, request, rows, n, [&](std::size_t k) {
        const std::uint32_t row = ClampRow(std::int64_t{request.y} + std::int64_t(k), r.inH);
        return slots + std::size_t{row - r.ringFirst} * rowBytes;
    });
    return true;
}

}  // namespace vestrel
