// DiffusePreparedRow (prepared_row.h): the serpentine error diffusion of one prepared row.
//
// The error arriving at a pixel depends on the pixel before it, so a row is one chain of
// dependent float operations; its length per pixel is what the rescreen costs, and everything
// that is not on it was moved into the preparation. What is left per decided pixel: v = value
// + error, the choice between v and v - A, the shares 3E/16 and 2E/16 (two multiplies side by
// side), 5E/16 and 7E/16 (two additions) and the 7/16 added to the next pixel's error. A pass
// pixel skips the first two. The choice is made without a branch (it is unpredictable inside a
// halftone): v - A is formed beside the comparison and one of the two is selected by the
// comparison's mask, so the comparison is not on the chain.
//
// Off the chain, the loops keep the cells of the next row that a run is still adding to in
// registers: each cell is read once and written once instead of being read back right after
// it was stored, and the adds land in the same order as in DiffuseError, so every sum is the
// same.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <cstdint>

#include "engine/filter/error_diffusion.h"
#include "engine/filter/prepared_row.h"

namespace vestrel {

namespace {

// The error moves from pixel to pixel in a Lane: with SSE2 the low lane of a register, so that
// it never makes the round trip through an integer register that moving it between a float
// variable and a vector costs; otherwise a plain float.
#if defined(__SSE2__)
using Lane = __m128;
inline Lane Load(const float* p) { return _mm_load_ss(p); }
inline void Store(float* p, Lane x) { _mm_store_ss(p, x); }
inline Lane Add(Lane a, Lane b) { return _mm_add_ss(a, b); }
inline Lane Times(Lane a, float k) { return _mm_mul_ss(a, _mm_set_ss(k)); }
inline Lane ToLane(float x) { return _mm_set_ss(x); }
inline float FromLane(Lane x) { return _mm_cvtss_f32(x); }
// |a| >= b, one comparison and one branch whatever the sign.
inline bool MagnitudeAtLeast(Lane a, float b) {
    const auto bits = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_castps_si128(a)));
    return (bits & 0x7FFFFFFFu) >= std::bit_cast<std::uint32_t>(b);
}
inline bool NonZero(Lane a) { return _mm_ucomineq_ss(a, _mm_setzero_ps()) != 0; }
#else
using Lane = float;
inline Lane Load(const float* p) { return *p; }
inline void Store(float* p, Lane x) { *p = x; }
inline Lane Add(Lane a, Lane b) { return a + b; }
inline Lane Times(Lane a, float k) { return a * k; }
inline Lane ToLane(float x) { return x; }
inline float FromLane(Lane x) { return x; }
inline bool MagnitudeAtLeast(Lane a, float b) { return std::fabs(a) >= b; }
inline bool NonZero(Lane a) { return a != 0.0f; }
#endif

// The next-row cells a run is still adding to, around the pixel at cell i: `behind` (cell
// i - Direction, whose last share, 3E', comes from this pixel) and `here` (cell i: 5E' now, 3E'
// from the next pixel). Loaded when a run starts, written back when it ends.
template <int Direction>
struct NextCells {
    NextCells(float* next, int i) : behind(Load(next + i - Direction)), here(Load(next + i)) {}
    void WriteBack(float* next, int i) const {
        Store(next + i - Direction, behind);
        Store(next + i, here);
    }
    Lane behind;
    Lane here;
};

// The pixel at cell i shares the error e out as DiffuseError does: 3E' to the cell behind
// (done with it afterwards), 5E' to the cell below, 1E' to the cell ahead, and returns the
// next pixel's error: its cell (`following`) plus 7E'. Nothing is added when E is 0. While E
// is a normal float (|E| >= 2^-122) E' and 2E' are exact, so 3E' is E * 0.1875 rounded once,
// as 2E' + E' is, and E' is taken from 2E' so that the two multiplies on the chain need not
// wait for a third; below that the shares are formed one after another (ShareOut).
template <int Direction>
inline Lane ShareError(Lane e, Lane following, NextCells<Direction>& cells, float* next, int i) {
    Lane ahead = Load(next + i + Direction);
    if (MagnitudeAtLeast(e, 0x1p-122f)) {
        const Lane e2 = Times(e, 0.125f);
        const Lane e3 = Times(e, 0.1875f);
        const Lane e5 = Add(e3, e2);
        cells.behind = Add(cells.behind, e3);
        cells.here = Add(cells.here, e5);
        ahead = Add(ahead, Times(e2, 0.5f));
        following = Add(following, Add(e5, e2));
    } else if (NonZero(e)) {
        const Shares s = ShareOut(FromLane(e));
        cells.behind = Add(cells.behind, ToLane(s.e3));
        cells.here = Add(cells.here, ToLane(s.e5));
        ahead = Add(ahead, ToLane(s.e1));
        following = Add(following, ToLane(s.e7));
    }
    Store(next + i - Direction, cells.behind);
    cells.behind = cells.here;
    cells.here = ahead;
    return following;
}

// `count` pass pixels from column c on: each hands on the error it receives. The 7/16 of the
// last pixel of a row lands in the guard cell, which nobody reads.
template <int Direction>
Lane PassOn(Lane incoming, int c, int count, float* current, float* next) {
    int i = c + 1;
    NextCells<Direction> cells(next, i);
    for (; count > 0; --count, i += Direction) {
        incoming = ShareError<Direction>(incoming, Load(current + i + Direction), cells, next, i);
        current[i] = 0.0f;
    }
    cells.WriteBack(next, i);
    return incoming;
}

// Decided pixel of `value` and threshold `blackFrom`, error `incoming` arriving: prints black
// when value + incoming reaches blackFrom; returns the error it keeps, the sum, less A when
// black, and writes its output byte.
#if defined(__SSE2__)
inline Lane Decide(Lane incoming, float value, float blackFrom, Lane a, std::uint8_t& out) {
    const Lane v = Add(Load(&value), incoming);
    const Lane black = _mm_cmple_ss(Load(&blackFrom), v);  // NaN: never
    const Lane vb = _mm_sub_ss(v, a);
    out = static_cast<std::uint8_t>(_mm_cvtsi128_si32(_mm_castps_si128(black)));
    return _mm_or_ps(_mm_and_ps(black, vb), _mm_andnot_ps(black, v));
}
#else
inline Lane Decide(Lane incoming, float value, float blackFrom, Lane a, std::uint8_t& out) {
    const float v = value + incoming;
    const bool black = v >= blackFrom;
    const float vb = v - a;
    out = black ? 255 : 0;
    return black ? vb : v;
}
#endif

// `count` decided pixels from column c on.
template <int Direction>
Lane DecideRun(Lane incoming, int c, int count, const float* value, const float* blackFrom,
               Lane a, float* current, float* next, std::uint8_t* out) {
    int i = c + 1;
    NextCells<Direction> cells(next, i);
    for (; count > 0; --count, i += Direction) {
        const int column = i - 1;
        const Lane e = Decide(incoming, value[column], blackFrom[column], a, out[column]);
        incoming = ShareError<Direction>(e, Load(current + i + Direction), cells, next, i);
        current[i] = 0.0f;
    }
    cells.WriteBack(next, i);
    return incoming;
}

template <int Direction>
void DiffuseRow(const PreparedRow& row, float maxValue, float* current, float* next,
                std::uint8_t* out, int w) {
    const float* const value = row.value.data();
    const float* const blackFrom = row.blackFrom.data();
    const Lane a = ToLane(maxValue);
    int c = Direction > 0 ? 0 : w - 1;
    Lane incoming = Load(current + c + 1);
    for (const PixelRun& run : row.decided) {
        incoming = PassOn<Direction>(incoming, c, (run.first - c) * Direction, current, next);
        incoming = DecideRun<Direction>(incoming, run.first, run.count, value, blackFrom, a,
                                        current, next, out);
        c = run.first + Direction * run.count;
    }
    const int end = Direction > 0 ? w : -1;
    PassOn<Direction>(incoming, c, (end - c) * Direction, current, next);
}

}  // namespace

void DiffusePreparedRow(const PreparedRow& row, float maxValue, ErrorRows& errors,
                        std::uint8_t* out) {
    if (row.rightToLeft)
        DiffuseRow<-1>(row, maxValue, errors.current(), errors.next(), out, row.width);
    else
        DiffuseRow<1>(row, maxValue, errors.current(), errors.next(), out, row.width);
    errors.Swap();
}

}  // namespace vestrel
