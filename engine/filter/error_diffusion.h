// Spreading the rescreen error of one pixel over its unprocessed neighbours
// (Floyd-Steinberg weights 7, 3, 5, 1 in sixteenths).
#pragma once

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

}  // namespace vestrel
