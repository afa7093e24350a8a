// A source-row reader and a runner for the dot-gain filter tests: serves a TestImage to the
// filter and runs a whole image through InitGainFilter and DoGainFilterData in bands.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/filter/filter_state.h"
#include "engine/filter/gain/gain_filter.h"
#include "tests/engine/filter/filter_test_image.h"

namespace vestrel::testing {

struct GainReaderLog {
    int calls = 0;
    int firstCalls = 0;
    bool outOfBounds = false;
    std::vector<int> requestRows;  // rows of every request, in order
};

inline const TestImage*& GainImage() {
    static const TestImage* image = nullptr;
    return image;
}
inline GainReaderLog*& GainLog() {
    static GainReaderLog* log = nullptr;
    return log;
}

// Copies the requested rows (whole rows from column 0) into the row set, as the engine's
// reader expands them, so averaging in place works on copies.
inline int ServeGainRows(AreaDesc& request, SourceRowSet& rows, int first) {
    const TestImage& image = *GainImage();
    if (GainLog() != nullptr) {
        GainReaderLog& log = *GainLog();
        ++log.calls;
        log.firstCalls += first;
        log.requestRows.push_back(request.h);
        if (request.y < 0 || request.h <= 0 || request.y + request.h > image.height ||
            request.x < 0 || request.w <= 0 || request.x + request.w > image.width)
            log.outOfBounds = true;
    }
    const int h = std::clamp(request.h, 0, image.height - std::max(request.y, 0));
    rows.Allocate(static_cast<std::size_t>(h), static_cast<std::size_t>(image.width));
    for (int k = 0; k < h; ++k) {
        std::memcpy(rows.Row(static_cast<std::size_t>(k)),
                    &image.pixels[static_cast<std::size_t>(request.y + k) * image.width],
                    static_cast<std::size_t>(image.width));
        request.rowTables[0][k] = rows.Row(static_cast<std::size_t>(k));
    }
    return 1;
}

inline void ServeGainImage(const TestImage* image, GainReaderLog* log = nullptr) {
    GainImage() = image;
    GainLog() = log;
    SetGainSourceReader(&ServeGainRows);
}

// Dot-gain settings for `image`: output = source geometry, no automatic selection.
inline FilterSettings GainSettings(const TestImage& image, int averageSize, int threshold) {
    FilterSettings s;
    s.Automatic = 0;
    s.AverageFilterSize = averageSize;
    s.Threshold = threshold;
    s.SourceWidth = s.TargetWidth = image.width;
    s.SourceHeight = s.TargetHeight = image.height;
    for (AreaDesc* d : {&s.DestDesc, &s.SourceDesc}) {
        d->present = 1;
        d->imageWidth = static_cast<std::uint32_t>(image.width);
        d->imageHeight = static_cast<std::uint32_t>(image.height);
        d->w = image.width;
        d->h = image.height;
    }
    return s;
}

// Runs the whole image in bands of `bandRows` rows; `ok` false on any failure. Leaves the
// level table in place (call ReleaseGainTables afterwards) so tests can look at it.
inline std::vector<std::uint8_t> RunGainFilter(FilterSettings& settings, int bandRows, bool& ok) {
    return RunInBands(settings, bandRows, &InitGainFilter, &DoGainFilterData, ok);
}

// Share of ink (non-zero) pixels of a byte image in a rectangle.
inline double InkShare(const std::vector<std::uint8_t>& pixels, int width, int x0, int y0, int x1,
                       int y1) {
    double ink = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) ink += pixels[static_cast<std::size_t>(y) * width + x] != 0;
    return ink / (static_cast<double>(x1 - x0) * (y1 - y0));
}

}  // namespace vestrel::testing
