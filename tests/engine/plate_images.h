// Plate-like 1-bit test images (halftoned tone wedges) and reading results back as
// appearance (1 = ink, whatever the file's photometric).
#pragma once

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/tiff/row_reader.h"
#include "engine/io/unique_tiff.h"

namespace vestrel::testing {

struct PlateLayout {
    std::uint32_t width = 640;
    std::uint32_t height = 480;
    float dpi = 1270;
    int steps = 5;          // tone steps across the width: 0 %, 25 %, ... 100 %
    bool minIsBlack = false;  // store 0 = ink (as some RIPs do)
    bool negative = false;    // store the inverted image (paper black)
    bool symmetric = false;   // tone rises to the middle and falls again: both edges paper
    std::uint16_t compression = COMPRESSION_CCITTFAX4;
    std::uint32_t rowsPerStrip = 64;
};

// Tone (0..1 ink) of column x of the wedge.
inline double WedgeTone(const PlateLayout& p, std::uint32_t x) {
    if (p.symmetric) x = 2 * std::min(x, p.width - 1 - x);
    const int step = static_cast<int>(std::uint64_t(x) * p.steps / p.width);
    return p.steps > 1 ? double(step) / (p.steps - 1) : 0.0;
}

// A clustered round-dot screen of 8 x 8 pixels: rank of each cell in growth order.
inline int DotRank(std::uint32_t x, std::uint32_t y) {
    static const std::vector<int> ranks = [] {
        std::vector<std::pair<double, int>> cells;
        for (int i = 0; i < 64; ++i) {
            const double cx = (i % 8 + 0.5) / 8 * 2 * M_PI, cy = (i / 8 + 0.5) / 8 * 2 * M_PI;
            cells.push_back({-(std::cos(cx) + std::cos(cy)) + i * 1e-9, i});
        }
        std::sort(cells.begin(), cells.end());
        std::vector<int> r(64);
        for (int k = 0; k < 64; ++k) r[cells[k].second] = k;
        return r;
    }();
    return ranks[(y % 8) * 8 + x % 8];
}

// Whether pixel (x, y) of the wedge is ink.
inline bool WedgeInk(const PlateLayout& p, std::uint32_t x, std::uint32_t y) {
    return DotRank(x, y) < static_cast<int>(std::lround(WedgeTone(p, x) * 64));
}

inline bool WritePlate(const std::string& path, const PlateLayout& p) {
    UniqueTiff tif(TIFFOpen(path.c_str(), "w"));
    if (!tif) return false;
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, p.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, p.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC,
                 p.minIsBlack ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_COMPRESSION, p.compression);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, p.rowsPerStrip);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, p.dpi);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, p.dpi);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    std::vector<std::uint8_t> row((p.width + 7) / 8);
    for (std::uint32_t y = 0; y < p.height; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (std::uint32_t x = 0; x < p.width; ++x) {
            bool bit = WedgeInk(p, x, y);
            if (p.negative) bit = !bit;
            if (p.minIsBlack) bit = !bit;
            if (bit) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        if (TIFFWriteScanline(t, row.data(), y, 0) != 1) return false;
    }
    return TIFFWriteDirectory(t) == 1;
}

// A 1-bit image as it looks: ink[y * width + x] is 1 for ink.
struct Appearance {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t photometric = 0;
    std::vector<std::uint8_t> ink;
    std::vector<std::vector<std::uint8_t>> packed;  // raw rows as stored

    bool Ink(std::uint32_t x, std::uint32_t y) const { return ink[std::size_t(y) * width + x] != 0; }
    // Share of ink pixels in a rectangle.
    double Coverage(std::uint32_t x0, std::uint32_t y0, std::uint32_t x1, std::uint32_t y1) const {
        double sum = 0;
        for (std::uint32_t y = y0; y < y1; ++y)
            for (std::uint32_t x = x0; x < x1; ++x) sum += Ink(x, y);
        return sum / (double(x1 - x0) * (y1 - y0));
    }
};

inline bool ReadAppearance(const std::string& path, Appearance& a) {
    UniqueTiff tif(TIFFOpen(path.c_str(), "r"));
    RowReader rows;
    if (!tif || !rows.Init(tif.get(), nullptr)) return false;
    a.width = rows.width();
    a.height = rows.height();
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PHOTOMETRIC, &a.photometric);
    a.ink.assign(std::size_t(a.width) * a.height, 0);
    a.packed.clear();
    std::vector<std::uint8_t> row(rows.rowBytes());
    for (std::uint32_t y = 0; y < a.height; ++y) {
        if (!rows.ReadRow(y, row.data())) return false;
        a.packed.push_back(row);
        for (std::uint32_t x = 0; x < a.width; ++x) {
            const bool bit = (row[x / 8] >> (7 - x % 8)) & 1;
            a.ink[std::size_t(y) * a.width + x] =
                (a.photometric == PHOTOMETRIC_MINISBLACK) ? !bit : bit;
        }
    }
    return true;
}

}  // namespace vestrel::testing
