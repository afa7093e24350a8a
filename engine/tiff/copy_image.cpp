#include "engine/tiff/copy_image.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "engine/tiff/row_reader.h"
#include "engine/tiff/tag_copy.h"
#include "engine/tiff/tiff_file.h"

namespace vestrel {

namespace {

void SetError(std::string* error, const std::string& text) {
    if (error != nullptr)
        *error = text;
}

std::string NameOf(TIFF* tif) {
    const char* name = TIFFFileName(tif);
    return name != nullptr ? name : "";
}

// Equal strip heights: every strip is decoded whole and written as the strip of the same
// number, so no row is decoded twice and the encoder sees whole strips.
bool CopyStrips(TIFF* in, TIFF* out, std::uint32_t stripRows, std::uint32_t rowBytes,
                std::uint32_t height, std::string* error) {
    std::vector<std::uint8_t> buffer(std::size_t{stripRows} * rowBytes);
    std::uint32_t strip = 0;
    for (std::uint32_t row = 0; row < height; row += stripRows, ++strip) {
        const std::uint32_t rows = std::min(stripRows, height - row);
        const tmsize_t bytes = static_cast<tmsize_t>(std::size_t{rows} * rowBytes);
        if (TIFFReadEncodedStrip(in, strip, buffer.data(), bytes) != bytes) {
            SetError(error, "cannot read strip " + std::to_string(strip) + " of " + NameOf(in));
            return false;
        }
        if (TIFFWriteEncodedStrip(out, strip, buffer.data(), bytes) < 0) {
            SetError(error, "cannot write strip " + std::to_string(strip) + " of " + NameOf(out));
            return false;
        }
    }
    return true;
}

// Any other layout: rows are read in order (decoded from strips or assembled from a band
// of tiles) and written as scanlines; the library cuts them into the output's strips.
bool CopyRows(RowReader& reader, TIFF* in, TIFF* out, std::string* error) {
    std::vector<std::uint8_t> row(reader.rowBytes());
    for (std::uint32_t y = 0; y < reader.height(); ++y) {
        if (!reader.ReadRow(y, row.data())) {
            SetError(error, "cannot read row " + std::to_string(y) + " of " + NameOf(in));
            return false;
        }
        if (TIFFWriteScanline(out, row.data(), y, 0) < 0) {
            SetError(error, "cannot write row " + std::to_string(y) + " of " + NameOf(out));
            return false;
        }
    }
    return true;
}

}  // namespace

bool CopyImage(TIFF* in, TIFF* out, int rowsPerStrip, const CopyOptions& options,
               CopyStrategy* strategy, std::string* error) {
    if (strategy != nullptr)
        *strategy = CopyStrategy::kNone;
    std::uint16_t bits = 1;
    std::uint16_t samples = 1;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(in, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(in, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(in, TIFFTAG_PLANARCONFIG, &planar);
    if (options.planarConfig && *options.planarConfig != planar && bits != 8 && samples >= 2) {
        std::fprintf(stderr,
                     "%s: Can not handle different planar configuration w/ bits/sample != 8\n",
                     NameOf(in).c_str());
        SetError(error, NameOf(in) + ": cannot change the planar configuration");
        return false;
    }
    RowReader reader;
    std::string reason;
    if (!reader.Init(in, &reason)) {
        std::fprintf(stderr, "tiffcp: %s: Don't know how to copy/convert image.\n",
                     NameOf(in).c_str());
        SetError(error, NameOf(in) + ": " + reason);
        return false;
    }
    std::uint32_t outRows = 0;
    if (!CopyImageTags(in, out, rowsPerStrip, StripHeightRule::kInputBelowOne, options, &outRows,
                       error))
        return false;

    const std::uint32_t height = reader.height();
    if (!reader.tiled()) {
        std::uint32_t inRows = 0;
        TIFFGetFieldDefaulted(in, TIFFTAG_ROWSPERSTRIP, &inRows);
        // Strip heights beyond the image height all mean one strip.
        const std::uint32_t inStrip = std::min(std::max(inRows, 1u), height);
        const std::uint32_t outStrip = std::min(outRows, height);
        const std::uint64_t stripBytes = std::uint64_t{inStrip} * reader.rowBytes();
        // A strip too big to hold is streamed row by row instead: memory stays bounded.
        if (inStrip == outStrip && stripBytes <= kMaxChunkBytes) {
            if (strategy != nullptr)
                *strategy = CopyStrategy::kStripByStrip;
            return CopyStrips(in, out, inStrip, reader.rowBytes(), height, error);
        }
    }
    if (strategy != nullptr)
        *strategy = reader.tiled() ? CopyStrategy::kTilesToStrips : CopyStrategy::kRowByRow;
    return CopyRows(reader, in, out, error);
}

}  // namespace vestrel
