// The copy tool: copies the current image of one TIFF into a new image of another, tags and
// pixels, as a 1-bit image with one sample per pixel, choosing how to move the pixels from
// the two layouts.
#pragma once

#include <tiffio.h>

#include <string>

#include "engine/tiff/copy_options.h"

namespace vestrel {

enum class CopyStrategy {
    kNone,           // nothing copied (refused before any pixel was moved)
    kStripByStrip,   // equal strip heights: each decoded strip is written as one strip
    kRowByRow,       // different strip heights: scanline by scanline
    kTilesToStrips,  // tiled input: one band of tiles at a time, written as scanlines
};

// Copies the current image of `in` to the current (new) image of `out` with strips of
// `rowsPerStrip` rows (below 1: the input's strip height; for a tiled input the TIFF
// library's default). Does not write `out`'s directory.
// The input must be a 1-bit, one-sample image; an input the tool cannot copy prints
// "tiffcp: <file>: Don't know how to copy/convert image." (or the planar-configuration
// message) to standard error and fails. A row or strip that cannot be decoded or written
// fails the copy.
// `strategy` (optional) tells how the pixels were moved; `error` (optional) says why the
// copy failed.
bool CopyImage(TIFF* in, TIFF* out, int rowsPerStrip, const CopyOptions& options,
               CopyStrategy* strategy = nullptr, std::string* error = nullptr);

}  // namespace vestrel
