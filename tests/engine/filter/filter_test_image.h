// Synthetic source images and a source-row reader serving them, for the filter tests.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/filter/area_desc.h"
#include "engine/filter/filter_settings.h"

namespace vestrel::testing {

// A byte-per-pixel source image (0 white, 255 black for 1-bit data).
struct TestImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    TestImage(int w, int h, std::uint8_t fill = 0)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}
    std::uint8_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// A halftone-like 1-bit image: round dots on a 45-degree screen of `period` pixels whose size
// follows a smooth tone ramp, so the image holds every tone and sharp dot edges.
TestImage HalftoneImage(int width, int height, int period);

// What the reader saw: every request, to check that the filter never asks outside the image.
struct ReaderLog {
    int calls = 0;
    int firstCalls = 0;
    bool outOfBounds = false;
    int maxRows = 0;  // largest request
};

// Installs the reader (SetSourceReader) serving `image`; the rows are copied into the row set
// on every request, as the engine's reader expands them, so in-place averaging works on copies.
void ServeImage(const TestImage* image, ReaderLog* log);
// A reader that always fails.
int FailingReader(AreaDesc& request, SourceRowSet& rows, int first);

// Settings for resampling `image` by `scale` in both directions (output size = size / scale),
// no automatic selection. Publish them before InitResampleFilter.
FilterSettings ResampleSettings(const TestImage& image, float scale, int averageSize);

// Set-up and band entry of a filter (resampling or dot gain).
using FilterInit = int (*)(const AreaDesc& destDesc, SourceRowSet& rows, int& status);
using FilterBand = int (*)(const AreaDesc& destDesc, int& status, SourceRowSet& rows, int first);

// Publishes `settings`, sets the filter up with `init` and produces the whole DestDesc in
// bands of `bandRows` rows with `band`; rows never written keep 0x5A. `ok` is false on any
// failure. Releases the error rows and the current settings, not the filter's own tables.
std::vector<std::uint8_t> RunInBands(FilterSettings& settings, int bandRows, FilterInit init,
                                     FilterBand band, bool& ok);

// Runs a whole image through InitResampleFilter and DoFilterData in bands of `bandRows`
// output rows and returns the output (width x height bytes, row-major). `ok` false on any
// failure.
std::vector<std::uint8_t> RunFilter(FilterSettings& settings, const TestImage& image, int bandRows,
                                    bool& ok);

// FNV-1a of a byte vector.
std::uint64_t Fnv1a(const std::vector<std::uint8_t>& bytes);

}  // namespace vestrel::testing
