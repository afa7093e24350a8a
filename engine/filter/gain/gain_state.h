// What the dot-gain filter keeps for one image besides the common filter state: the xfrm
// levels (the coarse tone map that groups pixels by the ink share of a large window around
// them), the per-level statistics and thresholds, the noise table, and the buffers of a band.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/filter/area_desc.h"

namespace vestrel {

// Side of the noise table: noise is indexed by (row mod 64, column mod 64).
inline constexpr int kNoiseTableSide = 64;
// Largest number of rows the estimation pass handles in one band.
inline constexpr int kEstimateBandRows = 512;

// The xfrm levels derived from XfrmFiltSize (S) and XFrmDivScale (D).
struct XfrmLevels {
    std::int32_t window = 32;  // S, at least 1
    std::int32_t half = 16;    // S / 2
    std::int32_t divisor = 4;  // D clamped to 1 .. S
    std::int32_t levels = 64;  // L = min(256 / D, S * S + 1); levels are 0 .. L - 1
};

// S below 1 is taken as 1 (a window of one pixel: the level says whether the pixel is ink).
XfrmLevels XfrmLevelsFor(std::int32_t xfrmFiltSize, std::int32_t xfrmDivScale);

// Statistics and threshold of one xfrm level. Counts are 64-bit: a 20k x 30k plate has
// 6e8 pixels, and one level may hold most of them.
struct LevelEntry {
    float gainRatio = 1.0f;               // curve output / curve input at the level's centre
    std::vector<std::int64_t> histogram;  // pixels of this level per averaged value 0 .. A
    std::int64_t pixelCount = 0;          // pixels of this level
    std::int64_t blackCount = 0;          // of which are ink in the source
    float threshold = 0.0f;               // averaged value from which a pixel prints ink
};

using NoiseTable = std::array<std::int32_t, kNoiseTableSide * kNoiseTableSide>;

// A band of the image: columns x .. x + w - 1, rows y .. y + h - 1 (absolute).
struct BandRect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t w = 0;
    std::int32_t h = 0;
};

// Byte-per-pixel rows of a fetched request: rows[k] is image row top + k, and image column c
// of a row is at index c - left.
struct RowView {
    std::uint8_t* const* rows = nullptr;
    std::int32_t top = 0;
    std::int32_t left = 0;

    // The row of image row `imageRow`, from column `imageColumn` on.
    std::uint8_t* At(std::int32_t imageRow, std::int32_t imageColumn) const {
        return rows[imageRow - top] + (imageColumn - left);
    }
};

struct GainFilterState {
    bool ready = false;  // the last InitGainFilter succeeded
    GetDataFn reader = nullptr;

    XfrmLevels xfrm;
    float noiseAmplitude = 0.0f;  // in xfrm levels: NoiseLevel % of L
    NoiseTable noise{};           // filled only when noise is active
    std::vector<LevelEntry> levelTable;

    // Copied from the settings by the set-up, so a band never depends on a record that the
    // caller may change or free while the image is produced.
    std::int32_t sourceLeft = 0;  // source area: [left, right) x [top, bottom)
    std::int32_t sourceTop = 0;
    std::int32_t sourceRight = 0;
    std::int32_t sourceBottom = 0;
    std::int32_t destX = 0;  // columns of the output area; every band must have them
    std::int32_t destW = 0;

    // Buffers of a band, kept for the next band and released with the tables.
    std::vector<std::uint8_t*> requestRows;  // source rows of the request (from the reader)
    std::array<std::uint8_t**, 1> separationTables{};
    std::vector<std::uint8_t> xfrmStorage;  // xfrm levels of the request, row-major
    std::vector<std::uint8_t*> xfrmRows;
};

// The process-wide state. Touch it only while holding FilterMutex().
GainFilterState& GainState();

}  // namespace vestrel
