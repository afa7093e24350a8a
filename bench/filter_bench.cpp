// Speed of the resampling filter on a plate-sized halftone: byte expansion of packed 1-bit
// rows (a plain stand-in for the engine's reader), averaging, resampling and rescreening, in
// bands of 1024 output rows as the pipeline runs it. Reports the time per output pixel.
//
//   filter_bench [--plate=FILE.tif] [--benchmark_filter=...]
//
// BM_ResampleImage times the filter as the pipeline calls it (the rows of a band prepared on a
// second thread while they are diffused). BM_RescreenStep times one step of the 1-bit rescreen
// alone on one thread, with the source rows of each band fetched and averaged beforehand
// (untimed): the plain loops (interpolation and diffusion in one), the row preparation, and the
// error diffusion of prepared rows. With --plate the source is that 1-bit TIFF instead of the
// synthetic screen, at the fan-out factors (100 / 99.5 across, 1 down); ns per output pixel
// then describe that plate.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/filter/area_desc.h"
#include "engine/filter/filter_settings.h"
#include "engine/filter/filter_state.h"
#include "engine/filter/prepared_row.h"
#include "engine/filter/resample_filter.h"
#include "engine/filter/resample_geometry.h"
#include "engine/filter/resample_output.h"
#include "engine/filter/source_averaging.h"

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

// The --plate file, read whole and turned positive (1 = black) like the engine's reader does
// (min-is-black inverted, a negative detected by black first and last bytes inverted).
std::string& PlatePath() {
    static std::string path;
    return path;
}

PackedImage ReadPlate(const std::string& path) {
    PackedImage img;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return img;
    }
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    std::uint16_t photometric = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    img.width = static_cast<int>(w);
    img.height = static_cast<int>(h);
    img.rowBytes = static_cast<std::size_t>(TIFFScanlineSize(tif));
    img.bits.assign(img.rowBytes * h, 0);
    for (std::uint32_t r = 0; r < h; ++r)
        if (TIFFReadScanline(tif, img.bits.data() + r * img.rowBytes, r) < 0)
            break;
    TIFFClose(tif);
    if (photometric != 0)
        for (auto& b : img.bits) b = static_cast<std::uint8_t>(~b);
    if (!img.bits.empty() && img.bits.front() == 0xFF && img.bits[img.rowBytes - 1] == 0xFF)
        for (auto& b : img.bits) b = static_cast<std::uint8_t>(~b);
    return img;
}

const PackedImage& Source() {
    static const PackedImage image = PlatePath().empty() ? MakeHalftone() : ReadPlate(PlatePath());
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

// Filter settings for the whole source at `factorX1000` thousandths (with --plate, 1005 is the
// fan-out job: 100 / 99.5 across, 1 down) and averaging window `window` (0: automatic).
vestrel::FilterSettings ImageSettings(std::int64_t factorX1000, std::int64_t window) {
    const PackedImage& img = Source();
    const float factor = static_cast<float>(factorX1000) / 1000.0f;
    const bool fanOut = !PlatePath().empty() && factorX1000 == 1005;
    vestrel::FilterSettings s;
    s.ScaleX = fanOut ? 100.0f / 99.5f : factor;
    s.ScaleY = fanOut ? 1.0f : factor;
    s.SourceWidth = img.width;
    s.SourceHeight = img.height;
    s.TargetWidth = static_cast<int>(img.width / static_cast<double>(s.ScaleX));
    s.TargetHeight = static_cast<int>(img.height / static_cast<double>(s.ScaleY));
    vestrel::SelectAutomaticParameters(s);
    if (window != 0)
        s.AverageFilterSize = static_cast<int>(window);
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
    return s;
}

void PerOutputPixel(benchmark::State& state, const vestrel::FilterSettings& s) {
    const double pixels = static_cast<double>(s.TargetWidth) * s.TargetHeight;
    // Seconds per output pixel (printed with an SI prefix: "9.1n" is 9.1 ns).
    state.counters["per_output_pixel"] = benchmark::Counter(
        pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["window"] = s.AverageFilterSize;
    state.counters["threshold"] = s.Threshold;
}

// One whole image per iteration. range(0): factor in thousandths; range(1): averaging window
// side, 0 for the automatic choice of the engine.
void BM_ResampleImage(benchmark::State& state) {
    vestrel::FilterSettings s = ImageSettings(state.range(0), state.range(1));
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
    PerOutputPixel(state, s);
}

// One step of the 1-bit rescreen over the whole image per iteration, on this thread alone.
// range(0): factor in thousandths (automatic window); range(1): the step timed, 0 the plain
// loops, 1 the row preparation, 2 the error diffusion of prepared rows. Fetching and averaging
// the source rows of a band (and, for step 2, preparing its rows) is not timed.
void BM_RescreenStep(benchmark::State& state) {
    const int step = static_cast<int>(state.range(1));
    const vestrel::FilterSettings s = ImageSettings(state.range(0), 0);
    vestrel::CommonFilterState common;
    vestrel::CommonFilterSetup(s, common);
    const PackedImage& img = Source();
    const int w = s.TargetWidth;
    const int h = s.TargetHeight;
    const vestrel::ResampleGeometry g = vestrel::MakeResampleGeometry(
        s.ScaleX, s.ScaleY, common.averageSize, 0, 0, 0, 0, 0, img.width, img.height);
    vestrel::ColumnTables tables;
    vestrel::ErrorRows errors;
    vestrel::RowPreparer preparer;
    std::vector<vestrel::PreparedRow> prepared(static_cast<std::size_t>(step == 2 ? kBandRows : 1));
    bool ready = tables.Build(g, 0, w);
    for (vestrel::PreparedRow& row : prepared) ready = ready && row.Reserve(w);
    std::vector<float> valueOf(256);
    for (int b = 0; b < 256; ++b)
        valueOf[static_cast<std::size_t>(b)] =
            common.doaverage ? static_cast<float>(b) : (b != 0 ? common.maxValue : 0.0f);
    vestrel::RescreenParams p;
    p.valueOf = valueOf.data();
    p.low = common.low;
    p.high = common.high;
    p.middle = common.middle;
    p.maxValue = common.maxValue;
    p.diffusionType = vestrel::kDiffusionTwoD;
    ready = ready && preparer.Start(g, tables, p);
    vestrel::SourceRowSet rows;
    rows.Allocate(static_cast<std::size_t>(vestrel::MaxResampleRequestRows(s, kBandRows)),
                  img.rowBytes * 8);
    std::vector<std::uint8_t*> requestRows(rows.rows);
    std::vector<std::uint8_t*> averagedRows(rows.rows);
    std::vector<std::uint8_t> band(static_cast<std::size_t>(w) * kBandRows);
    std::vector<std::uint8_t*> out(kBandRows);
    for (int k = 0; k < kBandRows; ++k)
        out[static_cast<std::size_t>(k)] = &band[static_cast<std::size_t>(k) * w];
    if (!ready) {
        state.SkipWithError("no memory");
        return;
    }
    const int side = common.doaverage ? common.averageSize : 1;

    for (auto _ : state) {
        state.PauseTiming();
        ready = errors.Allocate(w);  // zeroed
        common.random.Seed(vestrel::FilterRandom::kSeed);
        state.ResumeTiming();
        for (int y = 0; y < h && ready; y += kBandRows) {
            state.PauseTiming();
            const int n = std::min(kBandRows, h - y);
            const vestrel::SourceRequest req = vestrel::ComputeResampleRequest(
                g, 0, y, w, n, vestrel::AveragingContextBefore(side),
                vestrel::AveragingContextAfter(side));
            std::uint8_t** tablesOfRequest[1] = {requestRows.data()};
            vestrel::AreaDesc request;
            request.y = req.firstRow;
            request.h = req.rows();
            request.rowTables = tablesOfRequest;
            ready = ExpandRows(request, rows, 0) != 0;
            for (int k = 0; k < req.rows(); ++k)
                averagedRows[static_cast<std::size_t>(k)] =
                    requestRows[static_cast<std::size_t>(k)] + req.firstCol;
            if (common.doaverage)
                ready = ready && vestrel::AverageRowsInPlace(averagedRows.data(), req.cols(),
                                                             req.rows(), common.averageSize, true);
            const vestrel::SourceBlock src{requestRows.data(), req.firstRow, req.endRow};
            if (step == 2)
                for (int r = 0; r < n; ++r)
                    preparer.Prepare(src, common.random, y + r,
                                     prepared[static_cast<std::size_t>(r)],
                                     out[static_cast<std::size_t>(r)]);
            state.ResumeTiming();
            if (step == 0) {
                vestrel::RescreenBand(g, tables, src, p, common.random, errors, out.data(), y, n);
            } else if (step == 1) {
                for (int r = 0; r < n; ++r)
                    preparer.Prepare(src, common.random, y + r, prepared[0],
                                     out[static_cast<std::size_t>(r)]);
            } else {
                for (int r = 0; r < n; ++r)
                    vestrel::DiffusePreparedRow(prepared[static_cast<std::size_t>(r)], p.maxValue,
                                                errors, out[static_cast<std::size_t>(r)]);
            }
            benchmark::DoNotOptimize(band.data());
        }
    }
    if (!ready)
        state.SkipWithError("fetching or averaging failed");
    PerOutputPixel(state, s);
}

BENCHMARK(BM_ResampleImage)
    ->ArgNames({"factor_x1000", "window"})
    ->Args({1005, 0})
    ->Args({1890, 0})
    ->Args({1005, 4})
    ->Args({1890, 4})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

BENCHMARK(BM_RescreenStep)
    ->ArgNames({"factor_x1000", "step"})
    ->Args({1005, 0})
    ->Args({1005, 1})
    ->Args({1005, 2})
    ->Args({1890, 0})
    ->Args({1890, 1})
    ->Args({1890, 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    // --plate=FILE is ours; the benchmark library must not see it.
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--plate=", 0) == 0)
            PlatePath() = arg.substr(8);
        else
            args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    if (!PlatePath().empty() && Source().bits.empty())
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
