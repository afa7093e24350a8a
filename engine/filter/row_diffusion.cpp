// DiffusePreparedRow (prepared_row.h): the serpentine error diffusion of one prepared row.
//
// The error arriving at a pixel depends on the pixel before it, so a row is one chain of
// dependent float operations; its length per pixel is what the rescreen costs, and everything
// that is not on it was moved into the preparation. What is left per decided pixel: v = value
// + error, the choice between v and v - A, the shares 3E/16 (one multiply), 5E/16 and 7E/16
// (two additions) and the 7/16 added to the next pixel's error. A pass pixel skips the first
// two. The choice is made without a branch (it is unpredictable inside a halftone): v - A is
// formed beside the comparison and one of the two is selected by the comparison's mask, so
// the comparison is not on the chain. The error moving to the next pixel stays in a register.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/filter/error_diffusion.h"
#include "engine/filter/prepared_row.h"

namespace vestrel {

namespace {

// `count` pass pixels from column c on: each hands on the error it receives. The 7/16 of the
// last pixel of a row lands in the guard cell, which nobody reads.
template <int Direction>
float PassOn(float incoming, int c, int count, float* current, float* next) {
    for (; count > 0; --count, c += Direction) {
        const int i = c + 1;
        const float following = SpreadError<Direction>(incoming, current[i + Direction], next, i);
        current[i] = 0.0f;
        incoming = following;
    }
    return incoming;
}

// `count` decided pixels from column c on: black when value + error reaches blackFrom, and
// the error is the sum, less A when black.
#if defined(__SSE2__)
// The error stays in the low lane of an SSE register all along the run: moving it between a
// float variable and a vector would cost a round trip through an integer register per pixel.
template <int Direction>
float Decide(float incomingValue, int c, int count, const float* value, const float* blackFrom,
             float a, float* current, float* next, std::uint8_t* out) {
    const __m128 maxValue = _mm_set_ss(a);
    const __m128 zero = _mm_setzero_ps();
    const __m128 magnitude = _mm_castsi128_ps(_mm_cvtsi32_si128(0x7FFFFFFF));
    const __m128 normal = _mm_set_ss(0x1p-122f);
    const __m128 sixteenth = _mm_set_ss(0.0625f);
    const __m128 eighth = _mm_set_ss(0.125f);
    const __m128 threeSixteenths = _mm_set_ss(0.1875f);
    __m128 incoming = _mm_set_ss(incomingValue);
    for (; count > 0; --count, c += Direction) {
        const int i = c + 1;
        const __m128 v = _mm_add_ss(_mm_load_ss(value + c), incoming);
        const __m128 black = _mm_cmple_ss(_mm_load_ss(blackFrom + c), v);  // NaN: never
        const __m128 vb = _mm_sub_ss(v, maxValue);
        const __m128 e = _mm_or_ps(_mm_and_ps(black, vb), _mm_andnot_ps(black, v));
        out[c] = static_cast<std::uint8_t>(_mm_cvtsi128_si32(_mm_castps_si128(black)));
        __m128 following = _mm_load_ss(current + i + Direction);
        if (_mm_ucomineq_ss(e, zero)) {
            // ShareOut (error_diffusion.h), lane by lane.
            const __m128 e1 = _mm_mul_ss(e, sixteenth);
            __m128 e2;
            __m128 e3;
            if (_mm_comige_ss(_mm_and_ps(e, magnitude), normal)) {
                e2 = _mm_mul_ss(e, eighth);
                e3 = _mm_mul_ss(e, threeSixteenths);
            } else {
                e2 = _mm_add_ss(e1, e1);
                e3 = _mm_add_ss(e2, e1);
            }
            const __m128 e5 = _mm_add_ss(e3, e2);
            const __m128 e7 = _mm_add_ss(e5, e2);
            _mm_store_ss(next + i - Direction, _mm_add_ss(_mm_load_ss(next + i - Direction), e3));
            _mm_store_ss(next + i, _mm_add_ss(_mm_load_ss(next + i), e5));
            _mm_store_ss(next + i + Direction, _mm_add_ss(_mm_load_ss(next + i + Direction), e1));
            following = _mm_add_ss(following, e7);
        }
        current[i] = 0.0f;
        incoming = following;
    }
    return _mm_cvtss_f32(incoming);
}
#else
template <int Direction>
float Decide(float incoming, int c, int count, const float* value, const float* blackFrom, float a,
             float* current, float* next, std::uint8_t* out) {
    for (; count > 0; --count, c += Direction) {
        const int i = c + 1;
        const float v = value[c] + incoming;
        const bool black = v >= blackFrom[c];
        const float vb = v - a;
        const float e = black ? vb : v;
        out[c] = black ? 255 : 0;
        const float following = SpreadError<Direction>(e, current[i + Direction], next, i);
        current[i] = 0.0f;
        incoming = following;
    }
    return incoming;
}
#endif

template <int Direction>
void DiffuseRow(const PreparedRow& row, float a, float* current, float* next, std::uint8_t* out,
                int w) {
    const float* const value = row.value.data();
    const float* const blackFrom = row.blackFrom.data();
    int c = Direction > 0 ? 0 : w - 1;
    float incoming = current[c + 1];
    for (const PixelRun& run : row.decided) {
        incoming = PassOn<Direction>(incoming, c, (run.first - c) * Direction, current, next);
        incoming = Decide<Direction>(incoming, run.first, run.count, value, blackFrom, a, current,
                                     next, out);
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
