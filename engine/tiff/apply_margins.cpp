#include "engine/tiff/apply_margins.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/tiff/rewrite_in_place.h"
#include "engine/tiff/row_reader.h"
#include "engine/tiff/tag_copy.h"

namespace vestrel {

namespace {

// The margins that take part, each checked against the image so that no copy reads
// outside a buffer or writes outside a row.
struct ActiveMargins {
    std::uint32_t topRows = 0;
    std::uint32_t bottomRows = 0;
    std::uint32_t leftBytes = 0;
    std::uint32_t rightBytes = 0;
};

bool CheckMargins(const MarginStore& store, std::uint32_t height, std::uint32_t rowBytes,
                  ActiveMargins& active, std::string& error) {
    active.topRows = store.top.empty() ? 0 : store.topRows;
    active.bottomRows = store.bottom.empty() ? 0 : store.bottomRows;
    active.leftBytes = store.left.empty() ? 0 : store.leftBytes;
    active.rightBytes = store.right.empty() ? 0 : store.rightBytes;
    const bool any = active.topRows > 0 || active.bottomRows > 0 || active.leftBytes > 0 ||
                     active.rightBytes > 0;
    // Rows of another width would put every kept byte in the wrong place.
    if (any && store.rowBytes != rowBytes) {
        error = "margin rows of " + std::to_string(store.rowBytes) + " bytes do not fit rows of " +
                std::to_string(rowBytes) + " bytes";
        return false;
    }
    const auto fits = [](std::uint64_t needed, std::size_t have) { return needed <= have; };
    if (active.topRows > height || active.bottomRows > height || active.leftBytes > rowBytes ||
        active.rightBytes > rowBytes ||
        !fits(std::uint64_t{active.topRows} * rowBytes, store.top.size()) ||
        !fits(std::uint64_t{active.bottomRows} * rowBytes, store.bottom.size()) ||
        !fits(std::uint64_t{active.leftBytes} * height, store.left.size()) ||
        !fits(std::uint64_t{active.rightBytes} * height, store.right.size())) {
        error = "the margin store does not match the image size";
        return false;
    }
    return true;
}

// Replaces the margin areas of row `r` (of an image `height` rows high) in `row`.
void RestoreRow(const MarginStore& store, const ActiveMargins& active, std::uint32_t r,
                std::uint32_t height, std::uint32_t rowBytes, std::uint8_t* row) {
    if (r < active.topRows)
        std::memcpy(row, store.top.data() + std::size_t{r} * rowBytes, rowBytes);
    if (active.bottomRows > 0 && r >= height - active.bottomRows) {
        const std::uint32_t b = r - (height - active.bottomRows);
        std::memcpy(row, store.bottom.data() + std::size_t{b} * rowBytes, rowBytes);
    }
    if (active.leftBytes > 0) {
        std::memcpy(row, store.left.data() + std::size_t{r} * active.leftBytes, active.leftBytes);
    }
    if (active.rightBytes > 0) {
        std::memcpy(row + (rowBytes - active.rightBytes),
                    store.right.data() + std::size_t{r} * active.rightBytes, active.rightBytes);
    }
}

bool CopyWithMargins(TIFF* in, TIFF* out, int rowsPerStrip, const MarginStore& store,
                     std::string* error) {
    RowReader reader;
    std::string reason;
    if (!reader.Init(in, &reason)) {
        *error = "cannot apply margins to " + std::string(TIFFFileName(in)) + ": " + reason;
        return false;
    }
    // The margins belong to one image; further images would be lost by the rewrite.
    if (!TIFFLastDirectory(in)) {
        *error = "cannot apply margins to " + std::string(TIFFFileName(in)) +
                 ": the file holds more than one image";
        return false;
    }
    const std::uint32_t height = reader.height();
    const std::uint32_t rowBytes = reader.rowBytes();
    ActiveMargins active;
    if (!CheckMargins(store, height, rowBytes, active, *error))
        return false;

    std::uint32_t stripRows = 0;
    if (!CopyImageTags(in, out, rowsPerStrip, StripHeightRule::kLibraryDefaultBelowOne,
                       CopyOptions(), &stripRows, error))
        return false;
    // One strip in memory; a strip height beyond the image needs no more than the image.
    const std::uint32_t bufferRows = std::min(stripRows, height);
    std::vector<std::uint8_t> strip(std::size_t{bufferRows} * rowBytes);

    std::uint32_t stripIndex = 0;
    for (std::uint32_t first = 0; first < height; first += bufferRows, ++stripIndex) {
        const std::uint32_t rows = std::min(bufferRows, height - first);
        for (std::uint32_t i = 0; i < rows; ++i) {
            std::uint8_t* row = strip.data() + std::size_t{i} * rowBytes;
            if (!reader.ReadRow(first + i, row)) {
                *error = "cannot read row " + std::to_string(first + i) + " of " +
                         std::string(TIFFFileName(in));
                return false;
            }
            RestoreRow(store, active, first + i, height, rowBytes, row);
        }
        const tmsize_t bytes = static_cast<tmsize_t>(std::size_t{rows} * rowBytes);
        if (TIFFWriteEncodedStrip(out, stripIndex, strip.data(), bytes) < 0) {
            *error = "cannot write strip " + std::to_string(stripIndex) + " of " +
                     std::string(TIFFFileName(out));
            return false;
        }
    }
    if (TIFFWriteDirectory(out) != 1) {
        *error = "cannot write the directory of " + std::string(TIFFFileName(out));
        return false;
    }
    return true;
}

}  // namespace

bool ApplyMargins(const std::string& path, int rowsPerStrip, const MarginStore& margins,
                  std::string* error) {
    return RewriteInPlace(
        path,
        [&](TiffFile& in, TiffFile& out, std::string* bodyError) {
            return CopyWithMargins(in.get(), out.get(), rowsPerStrip, margins, bodyError);
        },
        error);
}

}  // namespace vestrel
