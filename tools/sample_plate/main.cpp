// sample_plate OUT [WIDTH HEIGHT DPI]: writes a plate-like 1-bit separation for demos and
// trials: a row of tone steps (0 % to 100 % in tenths), a smooth vignette and solid type
// bars, screened with a 45-degree round-dot screen of 16 pixels pitch, Group 4 compressed.
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

// Continuous tone (0 paper .. 1 ink) of the artwork at (x, y) of a w x h page.
double Tone(double x, double y, double w, double h) {
    const double margin = 0.05;
    if (x < w * margin || x > w * (1 - margin) || y < h * margin || y > h * (1 - margin)) return 0;
    const double u = (x - w * margin) / (w * (1 - 2 * margin));
    const double v = (y - h * margin) / (h * (1 - 2 * margin));
    if (v < 0.3) return std::floor(u * 11) / 10.0;  // tone steps 0 %, 10 %, ... 100 %
    if (v < 0.8) {  // vignette: dark centre fading out
        const double dx = u - 0.5, dy = (v - 0.55) * 2;
        return std::max(0.0, 1.0 - std::sqrt(dx * dx + dy * dy) * 1.6);
    }
    // Type bars: solid lines of different weights.
    const int bar = static_cast<int>((v - 0.8) / 0.2 * 12);
    return (bar % 2 == 0 && u < 0.2 + 0.06 * bar) ? 1.0 : 0.0;
}

// Round-dot threshold (0..1) of a 45-degree screen with `pitch` pixels per cell.
double Threshold(double x, double y, double pitch) {
    const double a = (x + y) / (pitch * std::sqrt(2.0)) * 2 * M_PI / std::sqrt(2.0);
    const double b = (x - y) / (pitch * std::sqrt(2.0)) * 2 * M_PI / std::sqrt(2.0);
    return (2 - std::cos(a) - std::cos(b)) / 4;  // 0 at the dot centres, 1 between them
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 5) {
        std::fprintf(stderr, "usage: sample_plate OUT.tif [WIDTH HEIGHT DPI]\n");
        return 2;
    }
    const std::uint32_t w = argc == 5 ? static_cast<std::uint32_t>(std::atol(argv[2])) : 4800;
    const std::uint32_t h = argc == 5 ? static_cast<std::uint32_t>(std::atol(argv[3])) : 6400;
    const float dpi = argc == 5 ? static_cast<float>(std::atof(argv[4])) : 2400.0f;
    if (w < 8 || h < 1 || w > 200000 || h > 200000 || !(dpi > 0)) {
        std::fprintf(stderr, "sample_plate: bad size or resolution\n");
        return 2;
    }
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(argv[1], "w"));
    if (!tif) return 1;
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 256);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, dpi);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, dpi);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    std::vector<std::uint8_t> row((w + 7) / 8);
    for (std::uint32_t y = 0; y < h; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (std::uint32_t x = 0; x < w; ++x) {
            if (Tone(x, y, w, h) > Threshold(x, y, 16.0))
                row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        if (TIFFWriteScanline(t, row.data(), y, 0) != 1) return 1;
    }
    return TIFFWriteDirectory(t) == 1 ? 0 : 1;
}
