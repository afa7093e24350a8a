#include "tests/engine/filter/filter_test_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/filter/filter_state.h"
#include "engine/filter/resample_filter.h"

namespace vestrel::testing {

namespace {

const TestImage* g_image = nullptr;
ReaderLog* g_log = nullptr;

int ServeRows(AreaDesc& request, SourceRowSet& rows, int first) {
    if (g_log != nullptr) {
        ++g_log->calls;
        g_log->firstCalls += first;
        g_log->maxRows = std::max(g_log->maxRows, request.h);
        if (request.y < 0 || request.h <= 0 || request.y + request.h > g_image->height ||
            request.x < 0 || request.w <= 0 || request.x + request.w > g_image->width)
            g_log->outOfBounds = true;
    }
    const int h = std::clamp(request.h, 0, g_image->height - std::max(request.y, 0));
    rows.Allocate(static_cast<std::size_t>(std::max(h, 0)),
                  static_cast<std::size_t>(g_image->width));
    for (int k = 0; k < h; ++k) {
        std::memcpy(rows.Row(static_cast<std::size_t>(k)),
                    &g_image->pixels[static_cast<std::size_t>(request.y + k) * g_image->width],
                    static_cast<std::size_t>(g_image->width));
        request.rowTables[0][k] = rows.Row(static_cast<std::size_t>(k));
    }
    return 1;
}

}  // namespace

TestImage HalftoneImage(int width, int height, int period) {
    TestImage image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Tone 0..1 rises along the diagonal and wobbles, so every band sees other tones.
            const double tone =
                0.5 + 0.45 * std::sin((x + 2.0 * y) * 0.013) * std::cos((x - y) * 0.007);
            // Screen coordinates rotated by 45 degrees, distance to the nearest dot centre.
            const double u = (x + y) / (period * std::sqrt(2.0));
            const double v = (x - y) / (period * std::sqrt(2.0));
            const double du = u - std::floor(u) - 0.5;
            const double dv = v - std::floor(v) - 0.5;
            const double radius = std::sqrt(tone / 3.14159265358979);
            image.at(x, y) = du * du + dv * dv < radius * radius ? 255 : 0;
        }
    }
    return image;
}

void ServeImage(const TestImage* image, ReaderLog* log) {
    g_image = image;
    g_log = log;
    SetSourceReader(&ServeRows);
}

int FailingReader(AreaDesc&, SourceRowSet&, int) {
    return 0;
}

FilterSettings ResampleSettings(const TestImage& image, float scale, int averageSize) {
    FilterSettings s;
    s.Automatic = 0;
    s.AverageFilterSize = averageSize;
    s.ScaleX = scale;
    s.ScaleY = scale;
    s.SourceWidth = image.width;
    s.SourceHeight = image.height;
    s.TargetWidth = static_cast<int>(image.width / static_cast<double>(scale));
    s.TargetHeight = static_cast<int>(image.height / static_cast<double>(scale));
    for (AreaDesc* d : {&s.DestDesc, &s.SourceDesc}) d->present = 1;
    s.SourceDesc.imageWidth = static_cast<std::uint32_t>(image.width);
    s.SourceDesc.imageHeight = static_cast<std::uint32_t>(image.height);
    s.SourceDesc.w = image.width;
    s.SourceDesc.h = image.height;
    s.DestDesc.imageWidth = static_cast<std::uint32_t>(s.TargetWidth);
    s.DestDesc.imageHeight = static_cast<std::uint32_t>(s.TargetHeight);
    s.DestDesc.w = s.TargetWidth;
    s.DestDesc.h = s.TargetHeight;
    return s;
}

std::vector<std::uint8_t> RunInBands(FilterSettings& settings, int bandRows, FilterInit init,
                                     FilterBand band, bool& ok) {
    ok = false;
    PublishFilterSettings(settings);
    const int w = settings.DestDesc.w;
    const int h = settings.DestDesc.h;
    std::vector<std::uint8_t> output(static_cast<std::size_t>(w) * h, 0x5A);
    SourceRowSet rows;
    int status = -1;
    AreaDesc dest = settings.DestDesc;
    bool failed = init(dest, rows, status) == 0 || status != 0;
    std::vector<std::uint8_t*> outRows(static_cast<std::size_t>(bandRows));
    std::uint8_t** table = outRows.data();
    dest.rowTables = &table;
    for (int y = 0; y < h && !failed; y += bandRows) {
        dest.y = y;
        dest.h = std::min(bandRows, h - y);
        for (int k = 0; k < dest.h; ++k)
            outRows[static_cast<std::size_t>(k)] = &output[static_cast<std::size_t>(y + k) * w];
        failed = band(dest, status, rows, y == 0 ? 1 : 0) == 0 || status != 0;
    }
    ReleaseErrorRows();
    ClearCurrentFilterSettings();
    ok = !failed;
    return output;
}

std::vector<std::uint8_t> RunFilter(FilterSettings& settings, const TestImage& image, int bandRows,
                                    bool& ok) {
    (void)image;
    std::vector<std::uint8_t> output =
        RunInBands(settings, bandRows, &InitResampleFilter, &DoFilterData, ok);
    ReleaseBandTables();
    return output;
}

std::uint64_t Fnv1a(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (std::uint8_t b : bytes) {
        hash ^= b;
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace vestrel::testing
