#include "engine/resample_writer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/band_packing.h"
#include "platform/c_locale.h"

namespace vestrel {
namespace {

std::string WriteError(const std::string& workPath, std::int64_t line) {
    return plexivar::platform::Format("WriteTIFF: Error writing %s line %lld\n", workPath.c_str(),
                                      static_cast<long long>(line));
}

}  // namespace

bool ResampleWriter::Start(TIFF* out, const WriterLayout& layout, std::string* error) {
    out_ = out;
    layout_ = layout;
    outRowBytes_ = (static_cast<std::size_t>(layout.outW) + 7) / 8;
    canvasRowBytes_ = (static_cast<std::size_t>(layout.canvasW) + 7) / 8;
    const std::size_t rowBytes = layout.keepSize ? canvasRowBytes_ : outRowBytes_;
    try {
        band_.assign(static_cast<std::size_t>(layout.bandRows) * rowBytes, 0);
        if (layout.keepSize) blank_.assign(canvasRowBytes_, 0);
    } catch (const std::bad_alloc&) {
        if (error) *error = "Memory allocation error";
        return false;
    }
    return true;
}

bool ResampleWriter::WriteBlankRows(std::int64_t count, const std::string& workPath,
                                    std::string* error) {
    for (std::int64_t i = 0; i < count && row_ < layout_.canvasH; ++i, ++row_) {
        if (TIFFWriteScanline(out_, blank_.data(), row_, 0) < 0) {
            if (error) *error = WriteError(workPath, row_);
            return false;
        }
    }
    return true;
}

bool ResampleWriter::WriteBand(const std::vector<std::uint8_t*>& rows, int n, std::uint32_t y,
                               bool negative, const std::string& workPath, std::string* error) {
    if (!layout_.keepSize) {
        for (int i = 0; i < n; ++i)
            PackRow(rows[static_cast<std::size_t>(i)], layout_.outW,
                    band_.data() + static_cast<std::size_t>(i) * outRowBytes_);
        const std::size_t bytes = static_cast<std::size_t>(n) * outRowBytes_;
        if (negative) InvertBytes(band_.data(), bytes);
        if (TIFFWriteEncodedStrip(out_, strip_++, band_.data(), static_cast<tmsize_t>(bytes)) < 0) {
            if (error) *error = WriteError(workPath, y);
            return false;
        }
        return true;
    }

    // The negative flag is known once the first band has read its source rows.
    if (!blankFilled_) {
        std::fill(blank_.begin(), blank_.end(), negative ? 0xFF : 0x00);
        blankFilled_ = true;
    }
    std::fill(band_.begin(), band_.end(), 0);
    for (int i = 0; i < n; ++i)
        PackRowOnCanvas(rows[static_cast<std::size_t>(i)], layout_.outW, layout_.xOff,
                        layout_.canvasW, canvasRowBytes_,
                        band_.data() + static_cast<std::size_t>(i) * canvasRowBytes_);

    if (layout_.yOff > 0) {
        if (!WriteBlankRows(layout_.yOff, workPath, error)) return false;
        layout_.yOff = 0;
    }
    std::int64_t k = layout_.yOff + n;
    if (k <= 0) {
        // The whole band lies above the canvas.
        layout_.yOff = k;
        return true;
    }
    const std::int64_t skip = layout_.yOff < 0 ? -layout_.yOff : 0;
    k = std::min<std::int64_t>(k, static_cast<std::int64_t>(layout_.canvasH) - row_);
    for (std::int64_t i = 0; i < k; ++i, ++row_) {
        std::uint8_t* packed = band_.data() + static_cast<std::size_t>(skip + i) * canvasRowBytes_;
        if (negative) InvertBytes(packed, canvasRowBytes_);
        if (TIFFWriteScanline(out_, packed, row_, 0) < 0) {
            if (error) *error = WriteError(workPath, row_);
            return false;
        }
    }
    layout_.yOff = 0;
    return true;
}

bool ResampleWriter::Finish(const std::string& workPath, std::string* error) {
    if (!layout_.keepSize) return true;
    if (!blankFilled_) blankFilled_ = true;  // no band was written: white canvas
    return WriteBlankRows(static_cast<std::int64_t>(layout_.canvasH) - row_, workPath, error);
}

}  // namespace vestrel
