#include "engine/io/resample_writer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/io/band_packing.h"
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
    // A kept page is written band by band; the scaled image strip by strip.
    const std::size_t bufferBytes =
        layout.keepSize ? static_cast<std::size_t>(layout.bandRows) * canvasRowBytes_
                        : static_cast<std::size_t>(layout.stripRows) * outRowBytes_;
    try {
        for (auto& band : bands_) band.assign(bufferBytes, 0);
        if (layout.keepSize) blank_.assign(canvasRowBytes_, 0);
    } catch (const std::bad_alloc&) {
        if (error) *error = "Memory allocation error";
        return false;
    }
    return true;
}

void ResampleWriter::PlanBlankRows(std::int64_t count, std::vector<ScanlineJob>& plan) {
    for (std::int64_t i = 0; i < count && row_ < layout_.canvasH; ++i, ++row_)
        plan.push_back({row_, blank_.data()});
}

bool ResampleWriter::PostScanlines(std::vector<ScanlineJob> plan, const std::string& workPath,
                                   std::string* error) {
    if (plan.empty()) return true;
    TIFF* out = out_;
    return worker_.Post(
        [out, plan = std::move(plan), workPath](std::string& why) {
            for (const ScanlineJob& job : plan) {
                if (TIFFWriteScanline(out, const_cast<std::uint8_t*>(job.bytes), job.row, 0) < 0) {
                    why = WriteError(workPath, job.row);
                    return false;
                }
            }
            return true;
        },
        error);
}

bool ResampleWriter::WriteBand(const std::vector<std::uint8_t*>& rows, int n, std::uint32_t y,
                               bool negative, const std::string& workPath, std::string* error) {
    std::vector<std::uint8_t>& band = bands_[static_cast<std::size_t>(current_)];
    if (!layout_.keepSize) {
        if (n < 0 || filled_ + static_cast<std::size_t>(n) > static_cast<std::size_t>(layout_.stripRows)) {
            if (error) *error = WriteError(workPath, y);
            return false;
        }
        std::uint8_t* const at = band.data() + filled_ * outRowBytes_;
        for (int i = 0; i < n; ++i)
            PackRow(rows[static_cast<std::size_t>(i)], layout_.outW,
                    at + static_cast<std::size_t>(i) * outRowBytes_);
        if (negative) InvertBytes(at, static_cast<std::size_t>(n) * outRowBytes_);
        filled_ += static_cast<std::size_t>(n);
        const bool last = y + static_cast<std::uint32_t>(n) >= layout_.outH;
        if (filled_ < static_cast<std::size_t>(layout_.stripRows) && !last) return true;
        const std::size_t bytes = filled_ * outRowBytes_;
        // The strip's first row, for the message of a failed write.
        const std::uint32_t firstRow = y + static_cast<std::uint32_t>(n) -
                                       static_cast<std::uint32_t>(filled_);
        filled_ = 0;
        current_ ^= 1;
        TIFF* out = out_;
        const std::uint32_t strip = strip_++;
        std::uint8_t* data = band.data();
        return worker_.Post(
            [out, strip, data, bytes, firstRow, workPath](std::string& why) {
                if (TIFFWriteEncodedStrip(out, strip, data, static_cast<tmsize_t>(bytes)) < 0) {
                    why = WriteError(workPath, firstRow);
                    return false;
                }
                return true;
            },
            error);
    }

    current_ ^= 1;
    // The negative flag is known once the first band has read its source rows.
    if (!blankFilled_) {
        std::fill(blank_.begin(), blank_.end(), negative ? 0xFF : 0x00);
        blankFilled_ = true;
    }
    std::fill(band.begin(), band.end(), 0);
    for (int i = 0; i < n; ++i)
        PackRowOnCanvas(rows[static_cast<std::size_t>(i)], layout_.outW, layout_.xOff,
                        layout_.canvasW, canvasRowBytes_,
                        band.data() + static_cast<std::size_t>(i) * canvasRowBytes_);

    std::vector<ScanlineJob> plan;
    if (layout_.yOff > 0) {
        PlanBlankRows(layout_.yOff, plan);
        layout_.yOff = 0;
    }
    std::int64_t k = layout_.yOff + n;
    if (k <= 0) {
        // The whole band lies above the canvas.
        layout_.yOff = k;
        return PostScanlines(std::move(plan), workPath, error);
    }
    const std::int64_t skip = layout_.yOff < 0 ? -layout_.yOff : 0;
    k = std::min<std::int64_t>(k, static_cast<std::int64_t>(layout_.canvasH) - row_);
    for (std::int64_t i = 0; i < k; ++i, ++row_) {
        std::uint8_t* packed = band.data() + static_cast<std::size_t>(skip + i) * canvasRowBytes_;
        if (negative) InvertBytes(packed, canvasRowBytes_);
        plan.push_back({row_, packed});
    }
    layout_.yOff = 0;
    return PostScanlines(std::move(plan), workPath, error);
}

bool ResampleWriter::Finish(const std::string& workPath, std::string* error) {
    if (layout_.keepSize) {
        std::vector<ScanlineJob> plan;
        PlanBlankRows(static_cast<std::int64_t>(layout_.canvasH) - row_, plan);
        if (!PostScanlines(std::move(plan), workPath, error)) return false;
    }
    return worker_.Wait(error);
}

}  // namespace vestrel
