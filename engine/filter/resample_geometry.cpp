#include "engine/filter/resample_geometry.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace vestrel {

namespace {

constexpr std::int64_t kCoordinateLimit = std::int64_t{1} << 30;

std::int32_t Clamp(std::int64_t v, std::int64_t lo, std::int64_t hi) {
    return static_cast<std::int32_t>(std::clamp(v, lo, hi));
}

// Output row Y and column X are absolute; the float products below are the sample positions.
float SourceColumnPosition(const ResampleGeometry& g, std::int64_t x) {
    return static_cast<float>(x) * g.sx + g.ox;
}

}  // namespace

ResampleGeometry MakeResampleGeometry(float scaleX, float scaleY, int averageSize, int destX,
                                      int destY, int rowOffset, int left, int top, int right,
                                      int bottom) {
    ResampleGeometry g;
    g.sx = scaleX;
    g.sy = scaleY;
    const float bias = averageSize % 2 == 0 ? -0.5f : 0.0f;
    const auto x = static_cast<float>(destX);
    const auto y = static_cast<float>(destY);
    g.ox = x + bias - x * scaleX;
    g.oy = y + bias - y * scaleY;
    g.rowOffset = rowOffset;
    g.doreschange = g.ox != 0.0f || g.oy != 0.0f || scaleX != 1.0f || scaleY != 1.0f;
    g.left = left;
    g.top = top;
    g.right = right;
    g.bottom = bottom;
    return g;
}

float SourceRowPosition(const ResampleGeometry& g, std::int64_t y) {
    return static_cast<float>(y) * g.sy + static_cast<float>(g.rowOffset) + g.oy;
}

std::int64_t FloorToInt(float v) {
    if (!(v > -static_cast<float>(kCoordinateLimit)))
        return -kCoordinateLimit;
    if (v > static_cast<float>(kCoordinateLimit))
        return kCoordinateLimit;
    return static_cast<std::int64_t>(std::floor(v));
}

SourceRequest ComputeResampleRequest(const ResampleGeometry& g, int x, int y, int w, int h,
                                     int before, int after) {
    // Source rows and columns read by the first and last output row and column. Positions
    // grow with Y and X (positive scales), so the ends of the band bound all of them;
    // interpolation also reads the row and column after the sample position.
    std::int64_t rowLo = 0;
    std::int64_t rowHi = 0;
    std::int64_t colLo = 0;
    std::int64_t colHi = 0;
    const std::int64_t lastY = std::int64_t{y} + h - 1;
    const std::int64_t lastX = std::int64_t{x} + w - 1;
    if (g.doreschange) {
        rowLo = FloorToInt(SourceRowPosition(g, y));
        rowHi = FloorToInt(SourceRowPosition(g, lastY)) + 1;
        colLo = FloorToInt(SourceColumnPosition(g, x));
        colHi = FloorToInt(SourceColumnPosition(g, lastX)) + 1;
    } else {
        rowLo = y + std::int64_t{g.rowOffset};
        rowHi = lastY + g.rowOffset;
        colLo = x;
        colHi = lastX;
    }
    // Samples outside the source area read its edge pixels.
    rowLo = Clamp(rowLo, g.top, g.bottom - 1);
    rowHi = Clamp(rowHi, g.top, g.bottom - 1);
    colLo = Clamp(colLo, g.left, g.right - 1);
    colHi = Clamp(colHi, g.left, g.right - 1);

    SourceRequest r;
    r.firstRow = Clamp(rowLo - before, g.top, g.bottom - 1);
    r.endRow = Clamp(rowHi + after + 1, g.top + 1, g.bottom);
    r.firstCol = Clamp(colLo - before, g.left, g.right - 1);
    r.endCol = Clamp(colHi + after + 1, g.left + 1, g.right);
    return r;
}

bool ColumnTables::Build(const ResampleGeometry& g, int bandX, int bandW) {
    Release();
    const auto n = static_cast<std::size_t>(std::max(bandW, 0));
    try {
        c0.resize(n);
        if (g.doreschange) {
            c1.resize(n);
            fx.resize(n);
            gx.resize(n);
        }
    } catch (const std::exception&) {
        Release();
        return false;
    }
    for (std::size_t c = 0; c < n; ++c) {
        const std::int64_t column = std::int64_t{bandX} + static_cast<std::int64_t>(c);
        if (!g.doreschange) {
            c0[c] = Clamp(column, g.left, g.right - 1);
            continue;
        }
        const float p = SourceColumnPosition(g, column);
        const float floorP = std::floor(p);
        const std::int64_t i = FloorToInt(p);
        c0[c] = Clamp(i, g.left, g.right - 1);
        c1[c] = Clamp(i + 1, g.left, g.right - 1);
        fx[c] = p - floorP;
        gx[c] = 1.0f - fx[c];
    }
    x = bandX;
    w = bandW;
    return true;
}

void ColumnTables::Release() {
    std::vector<std::int32_t>().swap(c0);
    std::vector<std::int32_t>().swap(c1);
    std::vector<float>().swap(fx);
    std::vector<float>().swap(gx);
    x = 0;
    w = -1;
}

}  // namespace vestrel
