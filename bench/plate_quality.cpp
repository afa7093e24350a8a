// plate_quality IN OUT: tone and low-frequency fidelity of a resampled 1-bit plate.
//
// Prints "ink_in ink_out lf_rmse":
//   ink_in, ink_out  mean ink coverage in percent (ink = black as the Photometric tag says);
//   lf_rmse          RMS difference (0..255 scale, 255 = paper) between input and output after
//                    both are averaged onto the same coarse grid of W/32 x H/32 cells of the
//                    input. The screen itself averages out; tone shifts, lost detail and
//                    beat patterns remain.
// The images are streamed row by row: memory is the grid plus one row.
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

struct Coverage {
    std::uint32_t width = 0, height = 0;
    double inkFraction = 0;
    std::vector<double> cellInk;  // ink fraction per grid cell
};

// Averages the ink of a 1-bit image onto a gw x gh grid; false when it cannot be read.
bool Measure(const char* path, std::uint32_t gw, std::uint32_t gh, Coverage& c, bool sizeOnly) {
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(path, "r"));
    if (!tif) return false;
    std::uint16_t bits = 1, photometric = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &c.width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &c.height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    if (bits != 1 || c.width == 0 || c.height == 0) return false;
    if (sizeOnly) return true;
    // Bit value that means ink: 1 for min-is-white, 0 for min-is-black.
    const int inkBit = photometric == PHOTOMETRIC_MINISBLACK ? 0 : 1;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(tif.get())));
    std::vector<double> cellSum(static_cast<std::size_t>(gw) * gh, 0.0);
    std::vector<double> cellCount(cellSum.size(), 0.0);
    std::vector<std::uint32_t> cellOfColumn(c.width);
    for (std::uint32_t x = 0; x < c.width; ++x)
        cellOfColumn[x] = static_cast<std::uint32_t>(std::uint64_t(x) * gw / c.width);
    double total = 0;
    for (std::uint32_t y = 0; y < c.height; ++y) {
        if (TIFFReadScanline(tif.get(), row.data(), y) < 0) return false;
        const std::size_t cy = static_cast<std::size_t>(std::uint64_t(y) * gh / c.height);
        double* sums = &cellSum[cy * gw];
        double* counts = &cellCount[cy * gw];
        for (std::uint32_t x = 0; x < c.width; ++x) {
            const int bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
            const double ink = bit == inkBit ? 1.0 : 0.0;
            sums[cellOfColumn[x]] += ink;
            counts[cellOfColumn[x]] += 1.0;
            total += ink;
        }
    }
    c.inkFraction = total / (double(c.width) * c.height);
    c.cellInk.resize(cellSum.size());
    for (std::size_t i = 0; i < cellSum.size(); ++i)
        c.cellInk[i] = cellCount[i] > 0 ? cellSum[i] / cellCount[i] : 0.0;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: plate_quality IN.tif OUT.tif\n");
        return 2;
    }
    TIFFSetWarningHandler(nullptr);
    Coverage probe;
    if (!Measure(argv[1], 1, 1, probe, true)) {
        std::fprintf(stderr, "plate_quality: cannot read 1-bit image %s\n", argv[1]);
        return 1;
    }
    const std::uint32_t gw = std::max<std::uint32_t>(1, probe.width / 32);
    const std::uint32_t gh = std::max<std::uint32_t>(1, probe.height / 32);
    Coverage in, out;
    if (!Measure(argv[1], gw, gh, in, false) || !Measure(argv[2], gw, gh, out, false)) {
        std::fprintf(stderr, "plate_quality: cannot read the 1-bit images\n");
        return 1;
    }
    double sq = 0;
    for (std::size_t i = 0; i < in.cellInk.size(); ++i) {
        const double d = 255.0 * (in.cellInk[i] - out.cellInk[i]);
        sq += d * d;
    }
    std::printf("%.2f %.2f %.2f\n", 100.0 * in.inkFraction, 100.0 * out.inkFraction,
                std::sqrt(sq / double(in.cellInk.size())));
    return 0;
}
