// Merging of two 1-bit images into one by OR (black wins): the engine merges a background
// file into its result, the main program into a pass-through file. Both link this one
// routine and differ only in the compression they ask for and whether they want the text.
#pragma once

#include <string>

#include "engine/tiff/output_compression.h"
#include "platform/local_time.h"

namespace vestrel {

// The DateTime text of a merged file: "yyyy/ m/dd hh:mm:ss" with the month padded by a
// blank, e.g. "2012/ 3/26 08:03:26".
std::string FormatMergeDateTime(const plexivar::platform::LocalTime& time);

// Writes `outPath` as the OR of the images in `firstPath` and `secondPath`, aligned at their
// top-left corners. The output is min-is-white; as wide as the wider input rounded up to
// whole bytes (the pixels added by the rounding come out black on the wider input's rows,
// never over another input's pixels); as high as the higher input (the lower one
// contributes white rows); in strips of 256 rows; with the first input's resolution in dpi.
// Inputs stored min-is-black are turned into min-is-white before the OR, so ink stays ink
// whatever the input's polarity. `description` becomes the ImageDescription when not empty;
// DateTime is the platform's local time, HostComputer the host name.
// The first file must hold one image (the output replaces it); of the second, the first
// image is used. Returns false on failure; then `errorText` (when given; always cleared first) says
// why and no partial `outPath` is left behind.
bool MergeBackground(const std::string& firstPath, const std::string& secondPath,
                     const std::string& outPath, const std::string& description,
                     OutputCompression compression, std::string* errorText = nullptr);

}  // namespace vestrel
