// Spreading the rescreen error of one pixel over its unprocessed neighbours
// (Floyd-Steinberg weights 7, 3, 5, 1 in sixteenths).
#pragma once

#include <cmath>

namespace vestrel {

// Scan direction of an output row: +1 left to right, -1 right to left.
// `i` is the index of the pixel's cell (column + 1) in the error rows. With E' = E / 16:
//   direction +1: current[c+1] += 7E', next[c-1] += 3E', next[c] += 5E', next[c+1] += 1E'
//   direction -1: current[c-1] += 7E', next[c+1] += 3E', next[c] += 5E', next[c-1] += 1E'
// The multiples are formed by additions (3E' = 2E' + E', 5E' = 3E' + 2E', 7E' = 5E' + 2E') so
// that every build rounds them identically. Nothing is added when E is 0. Afterwards the
// pixel's own cell is cleared, which leaves the current row all zero once the row is done.
template <int Direction>
inline void DiffuseError(float error, float* current, float* next, int i) {
    if (error != 0.0f) {
        const float e1 = error * 0.0625f;
        const float e2 = e1 + e1;
        const float e3 = e2 + e1;
        const float e5 = e3 + e2;
        const float e7 = e5 + e2;
        current[i + Direction] += e7;
        next[i - Direction] += e3;
        next[i] += e5;
        next[i + Direction] += e1;
    }
    current[i] = 0.0f;
}

// The shares 1E', 3E', 5E' and 7E' of DiffuseError, formed as there (2E' = E' + E',
// 3E' = 2E' + E', 5E' = 3E' + 2E', 7E' = 5E' + 2E'). While E' is a normal float
// (|E| >= 2^-122) E' and 2E' are exact and 2E' + E' is 3E / 16 rounded once, so E * 0.125 and
// E * 0.1875 give the same bits with a shorter chain of dependent operations; below that the
// additions are done one after another.
struct Shares {
    float e1, e3, e5, e7;
};

inline Shares ShareOut(float e) {
    Shares s;
    s.e1 = e * 0.0625f;
    float e2 = 0.0f;
    if (std::fabs(e) >= 0x1p-122f) {
        e2 = e * 0.125f;
        s.e3 = e * 0.1875f;
    } else {
        e2 = s.e1 + s.e1;
        s.e3 = e2 + s.e1;
    }
    s.e5 = s.e3 + e2;
    s.e7 = s.e5 + e2;
    return s;
}

// DiffuseError with the shares of ShareOut, for loops that keep the error moving along the row
// in a register: adds 3E', 5E' and 1E' to the next row around cell i and returns `following`
// (the next pixel's cell of the current row, read by the caller) plus 7E'. Nothing is added
// when E is 0. The caller clears cell i.
template <int Direction>
inline float SpreadError(float error, float following, float* next, int i) {
    if (error != 0.0f) {
        const Shares s = ShareOut(error);
        next[i - Direction] += s.e3;
        next[i] += s.e5;
        next[i + Direction] += s.e1;
        following += s.e7;
    }
    return following;
}

}  // namespace vestrel
