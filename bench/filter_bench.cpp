// Speed of the resampling filter on a plate-sized halftone: byte expansion of packed 1-bit
// rows (a plain stand-in for the engine's reader), averaging, resampling and rescreening, in
// bands of 1024 output rows as the pipeline runs it. Reports the time per output pixel.
//
//   filter_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/filter/area_desc.h"
#include "engine/filter/filter_settings.h"
#include "engine/filter/filter_state.h"
#include "engine/filter/resample_filter.h"

namespace {

constexpr int kSide = 10000;     // source width and height in pixels
constexpr int kBandRows = 1024;  // output rows per band (the engine's default)

// The source, packed 1 bit per pixel, most significant bit first (12.5 MB).
struct PackedImage {
    int width = 0;
    int height = 0;
    std::size_t rowBytes = 0;
    std::vector<std::uint8_t> bits;
};

// A 150-lpi-like round-dot screen at 45 degrees (period 12 pixels) over a slowly varying tone,
// so the source has the dot edges and the tone range of a real plate.
PackedImage MakeHalftone() {
    PackedImage img;
    img.width = kSide;
    img.height = kSide;
    img.rowBytes = (static_cast<std::size_t>(kSide) + 7) / 8;
    img.bits.assign(img.rowBytes * kSide, 0);
    const double period = 12.0 * std::sqrt(2.0);
    for (int y = 0; y < kSide; ++y) {
        std::uint8_t* row = img.bits.data() + static_cast<std::size_t>(y) * img.rowBytes;
        for (int x = 0; x < kSide; ++x) {
            const double tone = 0.5 + 0.48 * std::sin(x * 0.0011) * std::cos(y * 0.0007 + 0.3);
            const double u = (x + y) / period;
            const double v = (x - y) / period;
            const double du = u - std::floor(u) - 0.5;
            const double dv = v - std::floor(v) - 0.5;
            if (du * du + dv * dv < tone / 3.14159265358979)
                row[x >> 3] = static_cast<std::uint8_t>(row[x >> 3] | (0x80 >> (x & 7)));
        }
    }
    return img;
}

const PackedImage& Source() {
    static const PackedImage image = MakeHalftone();
    return image;
}

// Eight expanded pixels per packed byte (0x00 white, 0xFF black), most significant bit first.
struct ExpandTable {
    std::uint8_t pixels[256][8];
    ExpandTable() {
        for (int b = 0; b < 256; ++b)
            for (int i = 0; i < 8; ++i) pixels[b][i] = (b & (0x80 >> i)) ? 0xFF : 0x00;
    }
};

// Expands the requested rows into the row set, whole rows from column 0, as the engine's
// reader does.
int ExpandRows(vestrel::AreaDesc& request, vestrel::SourceRowSet& rows, int /*first*/) {
    static const ExpandTable table;
    const PackedImage& img = Source();
    const auto count = static_cast<std::size_t>(request.h);
    // Rows rounded up to whole bytes, so that every packed byte expands with one copy.
    const std::size_t rowBytes = img.rowBytes * 8;
    if (rows.rows < count || rows.rowBytes < rowBytes)
        return 0;  // the row set is sized once per image, before the first band
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t* in =
            img.bits.data() + (static_cast<std::size_t>(request.y) + k) * img.rowBytes;
        std::uint8_t* out = rows.Row(k);
        for (std::size_t i = 0; i < img.rowBytes; ++i)
            std::memcpy(out + 8 * i, table.pixels[in[i]], 8);
        request.rowTables[0][k] = out;
    }
    return 1;
}

// One whole image per iteration. range(0): factor in thousandths; range(1): averaging window
// side, 0 for the automatic choice of the engine.
void BM_ResampleImage(benchmark::State& state) {
    const float factor = static_cast<float>(state.range(0)) / 1000.0f;
    const PackedImage& img = Source();
    vestrel::FilterSettings s;
    s.ScaleX = factor;
    s.ScaleY = factor;
    s.SourceWidth = img.width;
    s.SourceHeight = img.height;
    s.TargetWidth = static_cast<int>(img.width / static_cast<double>(factor));
    s.TargetHeight = static_cast<int>(img.height / static_cast<double>(factor));
    vestrel::SelectAutomaticParameters(s);
    if (state.range(1) != 0)
        s.AverageFilterSize = static_cast<int>(state.range(1));
    s.SourceDesc.present = 1;
    s.SourceDesc.imageWidth = static_cast<std::uint32_t>(img.width);
    s.SourceDesc.imageHeight = static_cast<std::uint32_t>(img.height);
    s.SourceDesc.w = img.width;
    s.SourceDesc.h = img.height;
    s.DestDesc.present = 1;
    s.DestDesc.imageWidth = static_cast<std::uint32_t>(s.TargetWidth);
    s.DestDesc.imageHeight = static_cast<std::uint32_t>(s.TargetHeight);
    s.DestDesc.w = s.TargetWidth;
    s.DestDesc.h = s.TargetHeight;
    vestrel::PublishFilterSettings(s);
    vestrel::SetSourceReader(&ExpandRows);

    const int w = s.TargetWidth;
    const int h = s.TargetHeight;
    std::vector<std::uint8_t> band(static_cast<std::size_t>(w) * kBandRows);
    std::vector<std::uint8_t*> bandRows(kBandRows);
    for (int k = 0; k < kBandRows; ++k)
        bandRows[static_cast<std::size_t>(k)] = &band[static_cast<std::size_t>(k) * w];
    std::uint8_t** table = bandRows.data();
    // Sized once for the largest request, as the engine sizes its row set.
    vestrel::SourceRowSet rows;
    rows.Allocate(static_cast<std::size_t>(vestrel::MaxResampleRequestRows(s, kBandRows)),
                  Source().rowBytes * 8);
    std::uint64_t black = 0;

    for (auto _ : state) {
        int status = 0;
        vestrel::AreaDesc dest = s.DestDesc;
        if (vestrel::InitResampleFilter(dest, rows, status) == 0) {
            state.SkipWithError("InitResampleFilter failed");
            break;
        }
        dest.rowTables = &table;
        for (int y = 0; y < h; y += kBandRows) {
            dest.y = y;
            dest.h = std::min(kBandRows, h - y);
            if (vestrel::DoFilterData(dest, status, rows, y == 0 ? 1 : 0) == 0) {
                state.SkipWithError("DoFilterData failed");
                break;
            }
            black += static_cast<std::uint64_t>(band[static_cast<std::size_t>(w) / 2]);
        }
        benchmark::DoNotOptimize(black);
        vestrel::ReleaseBandTables();
        vestrel::ReleaseErrorRows();
    }
    vestrel::ClearCurrentFilterSettings();
    const double pixels = static_cast<double>(w) * h;
    // Seconds per output pixel (printed with an SI prefix: "9.1n" is 9.1 ns).
    state.counters["per_output_pixel"] = benchmark::Counter(
        pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["window"] = s.AverageFilterSize;
    state.counters["threshold"] = s.Threshold;
}

BENCHMARK(BM_ResampleImage)
    ->ArgNames({"factor_x1000", "window"})
    ->Args({1005, 0})
    ->Args({1890, 0})
    ->Args({1005, 4})
    ->Args({1890, 4})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
