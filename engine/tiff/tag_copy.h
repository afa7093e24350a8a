// The tags of a rewritten 1-bit image: size, layout and compression from the input (or from
// the copy settings), the strip height asked for, then the descriptive tags unchanged.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string>

#include "engine/tiff/copy_options.h"

namespace vestrel {

// What a requested strip height below 1 means.
enum class StripHeightRule {
    kInputBelowOne,           // the input's own strip height
    kLibraryDefaultBelowOne,  // the TIFF library's default height (strips of about 8 KB)
};

// Sets the tags of `out`'s current image from `in`'s current image, in this order: size,
// 1 bit and 1 sample, compression, photometric and fill order, rows per strip, planar
// configuration, transfer function and colour map, the tags of the compression in effect,
// the descriptive tags. `rowsPerStrip` is the requested strip height (see `rule`); the value
// written is returned in `rowsPerStripWritten`. False, with `error` set, when the output
// refuses a tag that decides how the pixels are stored.
bool CopyImageTags(TIFF* in, TIFF* out, int rowsPerStrip, StripHeightRule rule,
                   const CopyOptions& options, std::uint32_t* rowsPerStripWritten,
                   std::string* error);

}  // namespace vestrel
