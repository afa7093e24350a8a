// Settings of one image copy (the copy tool's state). Every rewrite starts from a fresh
// record, so nothing carries over from one file to the next; unset values mean "as the
// input has it", which is what every rewrite of this system uses. A row that cannot be
// decoded always fails the copy: a rewrite never passes off a cut-short image as done.
#pragma once

#include <cstdint>
#include <optional>

namespace vestrel {

struct CopyOptions {
    std::optional<std::uint16_t> compression;    // TIFF Compression value to write
    std::optional<std::uint16_t> planarConfig;   // PlanarConfiguration to write
    std::optional<std::uint32_t> group3Options;  // Group3Options when writing Group 3
    std::optional<std::uint16_t> predictor;      // Predictor when writing LZW or Deflate
};

}  // namespace vestrel
