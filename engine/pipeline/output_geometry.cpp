#include "engine/pipeline/output_geometry.h"

#include <cmath>

#include "engine/pipeline/plate_limits.h"
#include "platform/c_locale.h"

namespace vestrel {
namespace {

bool Positive(double v) { return std::isfinite(v) && v > 0; }

// Pixels in the output for `in` input pixels at `factor` input pixels per output pixel.
std::uint32_t ScaledSize(std::uint32_t in, float factor) {
    const double divisor = factor == 0.0f ? 1.0 : static_cast<double>(factor);
    const double size = static_cast<double>(in) / divisor;
    if (!(size >= 0)) return 0;
    if (size >= 4294967295.0) return 4294967295u;
    return static_cast<std::uint32_t>(size);
}

}  // namespace

float ResolutionToDpi(float value, int unit) {
    return unit == 3 ? static_cast<float>(value * 2.54) : value;
}

bool ComputeOutputGeometry(const GeometryRequest& r, OutputGeometry& g, std::string* error) {
    auto fail = [&](std::string why) {
        if (error) *error = std::move(why);
        return false;
    };
    if (r.inW < 8 || r.inH == 0)
        return fail(plexivar::platform::Format(
            "Unsupported image size %ux%u (at least 8 pixels wide and 1 row high)", r.inW, r.inH));
    if (!Positive(r.scaleX) || !Positive(r.scaleY))
        return fail(plexivar::platform::Format("Unsupported scale %f x %f percent", r.scaleX,
                                               r.scaleY));

    g = OutputGeometry();
    float fileResX = r.fileResX;
    float fileResY = r.fileResY;
    if (!r.hasFileResolution || !Positive(fileResX) || !Positive(fileResY)) {
        // Without a usable resolution tag the file is taken to be at the requested
        // resolution: the run then only scales.
        fileResX = static_cast<float>(r.resolutionX);
        fileResY = static_cast<float>(r.resolutionY);
        if (!Positive(fileResX) || !Positive(fileResY)) {
            if (!r.keepResolution)
                return fail("The input has no resolution and no target resolution is given");
            fileResX = fileResY = 0.0f;
        } else {
            for (const double dpi : {r.resolutionX, r.resolutionY})
                if (std::string why = CheckResolution(dpi, "asked for"); !why.empty())
                    return fail(std::move(why));
        }
    }

    g.targetResX = static_cast<float>(r.resolutionX);
    g.targetResY = static_cast<float>(r.resolutionY);
    const float percentX = static_cast<float>(r.scaleX);
    const float percentY = static_cast<float>(r.scaleY);
    g.keepResolution = (r.resolutionX == static_cast<double>(fileResX) &&
                        r.resolutionY == static_cast<double>(fileResY)) ||
                       r.keepResolution;
    g.sourceResX = fileResX;
    g.sourceResY = fileResY;
    g.outputResX = r.resolutionX;
    g.outputResY = r.resolutionY;
    if (g.keepResolution) {
        g.factorX = 100.0f / percentX;
        g.factorY = 100.0f / percentY;
        g.targetResX = fileResX;
        g.targetResY = fileResY;
        g.outputResX = fileResX;
        g.outputResY = fileResY;
    } else {
        if (!Positive(r.resolutionX) || !Positive(r.resolutionY))
            return fail(plexivar::platform::Format("Unsupported resolution %f x %f dpi",
                                                   r.resolutionX, r.resolutionY));
        for (const double dpi : {r.resolutionX, r.resolutionY})
            if (std::string why = CheckResolution(dpi, "asked for"); !why.empty())
                return fail(std::move(why));
        // Single precision, left to right, as the stored factors are.
        g.factorX = ((1.0f / g.targetResX) / percentX) * fileResX * 100.0f;
        g.factorY = ((1.0f / g.targetResY) / percentY) * fileResY * 100.0f;
    }
    if (!Positive(g.factorX) || !Positive(g.factorY))
        return fail(plexivar::platform::Format("Unsupported scale factor %f x %f", g.factorX,
                                               g.factorY));
    // A plausible plate (plate_limits.h): the scale, then the size of the output.
    if (std::string why = CheckScaleFactors(g.factorX, g.factorY); !why.empty())
        return fail(std::move(why));
    g.outW = ScaledSize(r.inW, g.factorX);
    g.outH = ScaledSize(r.inH, g.factorY);
    if (g.outW == 0 || g.outH == 0)
        return fail(plexivar::platform::Format("The output would be empty (%ux%u pixels)",
                                               g.outW, g.outH));
    if (std::string why = CheckImageSize("Output", g.outW, g.outH); !why.empty())
        return fail(std::move(why));
    return true;
}

MarginSizes MarginsInPixels(double top, double bottom, double left, double right,
                            double resolutionX, double resolutionY) {
    constexpr double kInchPerMm = 1.0 / 25.4;
    auto pixels = [](double mm, double dpi) -> std::uint32_t {
        const double v = mm * kInchPerMm * dpi;
        if (!(v > 0)) return 0;
        return v >= 4294967295.0 ? 4294967295u : static_cast<std::uint32_t>(v);
    };
    auto bytes = [&](double mm, double dpi) -> std::uint32_t {
        const std::uint64_t px = pixels(mm, dpi);
        return static_cast<std::uint32_t>((px + 7) / 8);
    };
    MarginSizes m;
    m.topRows = pixels(top, resolutionY);
    m.bottomRows = pixels(bottom, resolutionY);
    m.leftBytes = bytes(left, resolutionX);
    m.rightBytes = bytes(right, resolutionX);
    return m;
}

std::int64_t PlacementOffset(std::uint32_t canvas, std::uint32_t scaled, int reference) {
    if (canvas == scaled) return 0;
    const std::int64_t spare = static_cast<std::int64_t>(canvas) - static_cast<std::int64_t>(scaled);
    switch (reference) {
        case 1: return spare / 2;  // C++ division truncates toward zero
        case 2: return spare;
        default: return 0;
    }
}

}  // namespace vestrel
