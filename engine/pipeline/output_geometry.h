// The geometry of a resampling run: from the input's size and resolution and the caller's
// target resolution and scale to the output size, the scale factors (input pixels per output
// pixel), the preserved margins in rows and bytes, and the placement on a kept canvas.
#pragma once

#include <cstdint>
#include <string>

namespace vestrel {

struct GeometryRequest {
    std::uint32_t inW = 0;  // input pixels per row
    std::uint32_t inH = 0;  // input rows
    bool hasFileResolution = false;
    float fileResX = 0;  // dpi (already converted from per-centimetre)
    float fileResY = 0;
    double resolutionX = 0;  // requested target dpi
    double resolutionY = 0;
    double scaleX = 100;  // percent
    double scaleY = 100;
    bool keepResolution = false;
};

struct OutputGeometry {
    bool keepResolution = false;  // the output keeps the input's resolution
    float factorX = 1.0f;  // input pixels per output pixel, single precision
    float factorY = 1.0f;
    float targetResX = 0;  // dpi of the output as the filter settings hold it
    float targetResY = 0;
    float sourceResX = 0;  // dpi of the input
    float sourceResY = 0;
    double outputResX = 0;  // dpi written to the output tags and used for the margins
    double outputResY = 0;
    std::uint32_t outW = 0;
    std::uint32_t outH = 0;
};

// Converts a TIFF resolution to dpi: unit 3 (centimetre) is multiplied by 2.54.
float ResolutionToDpi(float value, int unit);

// Computes the output geometry. The factor is kept in single precision and the sizes are
// divided in double precision, so that 10000 pixels at 99.5 % give 9949, not 9950.
// An input without resolution tags takes the requested resolution as its own (a pure
// scale). Returns false with a message for values the pipeline cannot process: images
// narrower than 8 pixels or empty, scales or resolutions that are zero, negative or not
// finite, outputs of zero pixels, and what is no plausible plate (plate_limits.h): a
// resolution asked for outside the plausible range, a scale factor beyond the limit along
// either axis, an output too large.
bool ComputeOutputGeometry(const GeometryRequest& request, OutputGeometry& geometry,
                           std::string* error);

struct MarginSizes {
    std::uint32_t topRows = 0;
    std::uint32_t bottomRows = 0;
    std::uint32_t leftBytes = 0;  // whole bytes of 8 pixels, rounded up
    std::uint32_t rightBytes = 0;
};

// Margins in millimetres to rows and bytes at the output resolution, truncated.
MarginSizes MarginsInPixels(double top, double bottom, double left, double right,
                            double resolutionX, double resolutionY);

// Offset of the scaled image on the kept canvas along one axis: 0 when the sizes agree,
// else by the reference (1 centred, truncated toward zero; 2 far edge; anything else the
// near edge). Negative when the scaled image is larger than the canvas.
std::int64_t PlacementOffset(std::uint32_t canvas, std::uint32_t scaled, int reference);

}  // namespace vestrel
