// The row-dropping reduction behind the SimpleResamleTIFF export: a 1-bit TIFF whose content
// is shortened vertically by leaving out evenly spaced rows, written at the input's size with
// white rows below the content. No filtering; horizontal size, resolution and the other tags
// stay as in the input.
#pragma once

#include <cstdint>
#include <string>

namespace vestrel {

// Which input rows of an image `height` rows high reach the output.
struct RowDropPlan {
    std::uint32_t height = 0;
    // 0: every row is kept (the image is copied unchanged). Otherwise every row whose index is
    // a positive multiple of `dropEvery` is left out; always at least 2.
    std::uint32_t dropEvery = 0;
};

// Plans the reduction of `height` rows to `scalePercent` percent. The content height asked
// for is trunc(height * (scalePercent * 0.01) + 0.5) rows; dropEvery = height / (height -
// that). A content height not below `height` keeps every row. False, with `error` set, for a
// scale that is not a positive finite number and for a content height below half the image:
// there dropEvery would be 1 and every row but the first would go.
bool PlanRowDropping(std::uint32_t height, double scalePercent, RowDropPlan& plan,
                     std::string* error);

// True when input row `row` is left out.
inline bool IsDroppedRow(const RowDropPlan& plan, std::uint32_t row) {
    return plan.dropEvery != 0 && row > 0 && row % plan.dropEvery == 0;
}

// Reads `inputPath` (1 bit, 1 sample per pixel, black and white, first image, a plausible
// plate: the checks of ReadInputFacts shared with the other pipelines) and writes the reduced
// image to `outputPath`, in strips of `rowsPerStrip` of the engine settings (-1: the input's
// strip height), reporting progress through the stored progress function. 1 written, 0 failed; after
// a failure no file is left at `outputPath` (unless it names the input itself, which is refused
// and left alone). The input is never modified. The two reserved arguments are ignored.
// Failures are described in the engine log. Never throws.
int RunSimpleResamleTIFF(const char* inputPath, const char* outputPath, int reserved1,
                         int reserved2, double scalePercent) noexcept;

}  // namespace vestrel
