// The filter state shared by the resampling filter and the dot-gain filter: values derived
// from the current FilterSettings by the common set-up, the random generator, the error rows
// of the two-dimensional error diffusion, and the lock that keeps calls from overlapping.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "engine/filter/filter_random.h"
#include "engine/filter/filter_settings.h"

namespace vestrel {

// Rescreen methods (FilterSettings::DiffusionType).
enum DiffusionTypes : std::int32_t {
    kDiffusionThreshold = 0,  // plain threshold, no error carried
    kDiffusionRowCarry = 1,   // error carried along the row only
    kDiffusionTwoD = 2,       // Floyd-Steinberg over two error rows
};

// Two rows of floats for the error diffusion of one separation: the current output row and
// the next one. Each row holds width + 2 cells, column c at index c + 1: one guard cell at
// either end takes the error pushed past the image edge, so the diffusion never tests for the
// edges. The rows swap roles once per output row and carry over from band to band.
class ErrorRows {
  public:
    // Zeroed rows for `width` columns; false (and empty) when memory is short.
    bool Allocate(int width);
    void Release();
    bool empty() const { return storage_.empty(); }
    int width() const { return width_; }

    // Cells of column c are at index c + 1.
    float* current() { return current_; }
    float* next() { return next_; }
    // After a row: the next row becomes the current one, and the old current row (whose
    // cells were all cleared while it was processed) becomes the fresh next row.
    void Swap();

  private:
    std::vector<float> storage_;
    float* current_ = nullptr;
    float* next_ = nullptr;
    int width_ = 0;
};

struct CommonFilterState {
    std::int32_t averageSize = 1;  // n: side of the averaging window in source pixels
    std::int32_t averageHalf = 0;  // n / 2
    bool doaverage = false;        // n > 1
    float maxValue = 9.0f;         // A: the averaged value of an all-black window
    float low = 0.0f;              // below: forced white
    float high = 0.0f;             // at or above: forced black
    float middle = 0.0f;           // A / 2: the threshold of the error diffusion
    bool addnoise = false;
    float noiseAmplitude = 0.0f;  // the set-ups scale it to the value range they use
    std::int32_t diffusionType = kDiffusionTwoD;
    std::int32_t diffusionToggle = 1;
    std::int32_t verbose = 0;
    FilterRandom random;
    ErrorRows errorRows;                          // one separation
    std::chrono::steady_clock::time_point start;  // of the last set-up, for the timing lines
};

// The process-wide state. Touch it only while holding FilterMutex().
CommonFilterState& FilterState();
// Held by every entry point of the filter for the whole call, so that two callers can never
// work on the state at the same time (callers are expected not to overlap anyway).
std::mutex& FilterMutex();

// Derives the common values from `settings`, seeds the generator with FilterRandom::kSeed and
// notes the start time. Releases the error rows of a previous image.
void CommonFilterSetup(const FilterSettings& settings, CommonFilterState& state);

// Seconds since the last set-up, for the timing lines.
double SecondsSinceSetup(const CommonFilterState& state);

// Frees the error rows; the pipelines call it when an image is finished.
void ReleaseErrorRows();

}  // namespace vestrel
