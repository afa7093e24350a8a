// What the pipelines share about their input and their bookkeeping: the facts of a 1-bit
// TIFF separation read from its first directory (refusing what the row reader cannot
// serve), the descriptor of a whole image, and progress reports.
#pragma once

#include <tiffio.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/filter/area_desc.h"
#include "engine/io/unique_tiff.h"

namespace vestrel {

// Facts about the input read from its first directory.
struct InputFacts {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t photometric = 0;
    bool hasResolution = false;
    float resX = 0;  // dpi
    float resY = 0;
    std::uint16_t page = 0;
    std::uint16_t pages = 0;
    std::uint32_t subfileType = 0;
    std::size_t rowBytes = 0;  // packed bytes per row
};

// Checks that the input is a 1-bit, one-sample, black-and-white image the pipelines can work
// on, and a plausible plate (engine/pipeline/plate_limits.h: size, resolution), and reads its
// facts. The one check of the input's tags for all three pipelines, made before anything is
// allocated. Rows are held as packed 1-bit data, so 8-bit grey and colour are refused.
// False with the message for the caller's errorText.
bool ReadInputFacts(TIFF* tif, InputFacts& in, std::string& error);

// The common opening of a pipeline run: the working file name must fit the caller's
// 260-byte output-path buffer (it is then written there; otherwise the buffer keeps the
// final path), and the input must open and pass ReadInputFacts. Returns the open input, or
// null with the message for errorText in `error`.
UniqueTiff OpenRunInput(const char* inputPath, const std::string& workPath, char* outputPath,
                        InputFacts& in, std::string& error);

// The descriptor of a whole image of one separation.
AreaDesc WholeImageArea(std::uint32_t width, std::uint32_t height, std::uint8_t*** rowTables);

}  // namespace vestrel
