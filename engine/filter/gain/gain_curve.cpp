#include "engine/filter/gain/gain_curve.h"

#include <array>
#include <cmath>
#include <vector>

namespace vestrel {

namespace {

// The curve's points on the level scale, with duplicated end points dropped.
struct ScaledPoints {
    std::array<float, kToneCurveCapacity> x{};
    std::array<float, kToneCurveCapacity> y{};
    int n = 0;
};

bool ScalePoints(const ToneCurve& curve, int levels, ScaledPoints& p) {
    if (curve.count < 0 || curve.count > kToneCurveCapacity || curve.count > curve.capacity)
        return false;
    const float top = static_cast<float>(levels) - 0.5f;
    int first = 0;
    int end = curve.count;
    for (int i = 0; i < curve.count; ++i) {
        p.x[static_cast<std::size_t>(i)] = curve.XVal[i] / curve.XMax * top;
        p.y[static_cast<std::size_t>(i)] = curve.YVal[i] / curve.YMax * top;
        if (!std::isfinite(p.x[static_cast<std::size_t>(i)]) ||
            !std::isfinite(p.y[static_cast<std::size_t>(i)]))
            return false;
    }
    // A repeated first or last input is dropped while more than two points remain.
    while (end - first > 2 &&
           p.x[static_cast<std::size_t>(first)] == p.x[static_cast<std::size_t>(first + 1)])
        ++first;
    while (end - first > 2 &&
           p.x[static_cast<std::size_t>(end - 1)] == p.x[static_cast<std::size_t>(end - 2)])
        --end;
    p.n = end - first;
    for (int i = 0; i < p.n; ++i) {
        p.x[static_cast<std::size_t>(i)] = p.x[static_cast<std::size_t>(first + i)];
        p.y[static_cast<std::size_t>(i)] = p.y[static_cast<std::size_t>(first + i)];
    }
    if (p.n < 2)
        return false;
    for (int i = 0; i + 1 < p.n; ++i)
        if (!(p.x[static_cast<std::size_t>(i)] < p.x[static_cast<std::size_t>(i + 1)]))
            return false;
    return true;
}

// Slopes at the points: the end points take the slope of their segment; an interior point
// the weighted harmonic mean of the secants on either side, or 0 where they differ in sign
// (or one is flat), which keeps each segment monotone.
std::array<float, kToneCurveCapacity> HermiteSlopes(const ScaledPoints& p) {
    std::array<float, kToneCurveCapacity> h{};
    std::array<float, kToneCurveCapacity> dy{};
    std::array<float, kToneCurveCapacity> s{};
    for (int k = 0; k + 1 < p.n; ++k) {
        const auto i = static_cast<std::size_t>(k);
        h[i] = p.x[i + 1] - p.x[i];
        dy[i] = p.y[i + 1] - p.y[i];
        s[i] = dy[i] / h[i];
    }
    std::array<float, kToneCurveCapacity> d{};
    d[0] = s[0];
    d[static_cast<std::size_t>(p.n - 1)] = s[static_cast<std::size_t>(p.n - 2)];
    for (int j = 1; j + 1 < p.n; ++j) {
        const auto i = static_cast<std::size_t>(j);
        d[i] = s[i - 1] * s[i] > 0.0f ? (h[i - 1] + h[i]) * s[i - 1] * s[i] / (dy[i - 1] + dy[i])
                                      : 0.0f;
    }
    return d;
}

}  // namespace

bool EvaluateToneCurve(const ToneCurve& curve, int levels, float* positions, int count) {
    ScaledPoints p;
    if (positions == nullptr || !ScalePoints(curve, levels, p))
        return false;
    const float top = static_cast<float>(levels) - 0.5f;
    const int last = p.n - 1;
    const auto lastIndex = static_cast<std::size_t>(last);

    if (p.n == 2) {
        const float slope = (p.y[1] - p.y[0]) / (p.x[1] - p.x[0]);
        for (int k = 0; k < count; ++k) {
            const float x = positions[k];
            positions[k] = x < p.x[0] ? 0.0f : x > p.x[1] ? top : p.y[0] + (x - p.x[0]) * slope;
        }
        return true;
    }

    const std::array<float, kToneCurveCapacity> d = HermiteSlopes(p);
    for (int k = 0; k < count; ++k) {
        const float x = positions[k];
        if (x < p.x[0]) {
            positions[k] = 0.0f;
            continue;
        }
        if (x > p.x[lastIndex]) {
            positions[k] = top;
            continue;
        }
        // Segment [x_j, x_j+1] holding x, the last one for x on the last point.
        int lo = 0;
        int hi = last;
        while (hi - lo > 1) {
            const int mid = (lo + hi) / 2;
            if (x < p.x[static_cast<std::size_t>(mid)])
                hi = mid;
            else
                lo = mid;
        }
        const auto j = static_cast<std::size_t>(lo);
        const float h = p.x[j + 1] - p.x[j];
        const float s = (p.y[j + 1] - p.y[j]) / h;
        const float c2 = (3.0f * s - 2.0f * d[j] - d[j + 1]) / h;
        const float c3 = (d[j] + d[j + 1] - 2.0f * s) / (h * h);
        const float t = x - p.x[j];
        positions[k] = p.y[j] + t * (d[j] + t * (c2 + t * c3));
    }
    return true;
}

void GainRatios(const ToneCurve& curve, int levels, float* ratios) {
    std::vector<float> values(static_cast<std::size_t>(levels > 0 ? levels : 0));
    for (int k = 0; k < levels; ++k)
        values[static_cast<std::size_t>(k)] = static_cast<float>(k) + 0.5f;
    const bool evaluated = EvaluateToneCurve(curve, levels, values.data(), levels);
    for (int k = 0; k < levels; ++k)
        ratios[k] =
            evaluated ? values[static_cast<std::size_t>(k)] / (static_cast<float>(k) + 0.5f) : 1.0f;
}

}  // namespace vestrel
