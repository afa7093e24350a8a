#include "engine/filter/filter_state.h"

#include <algorithm>
#include <exception>

namespace vestrel {

bool ErrorRows::Allocate(int width) {
    Release();
    if (width < 0)
        return false;
    const std::size_t cells = static_cast<std::size_t>(width) + 2;
    try {
        storage_.assign(2 * cells, 0.0f);
    } catch (const std::exception&) {
        return false;
    }
    current_ = storage_.data();
    next_ = storage_.data() + cells;
    width_ = width;
    return true;
}

void ErrorRows::Release() {
    std::vector<float>().swap(storage_);
    current_ = nullptr;
    next_ = nullptr;
    width_ = 0;
}

void ErrorRows::Swap() {
    std::swap(current_, next_);
    // The guard cells gathered the error pushed past the edges; it is dropped here so that the
    // fresh next row starts all zero.
    next_[0] = 0.0f;
    next_[width_ + 1] = 0.0f;
}

CommonFilterState& FilterState() {
    static CommonFilterState state;
    return state;
}

std::mutex& FilterMutex() {
    static std::mutex mutex;
    return mutex;
}

void CommonFilterSetup(const FilterSettings& settings, CommonFilterState& state) {
    const std::int32_t n = settings.AverageFilterSize;
    state.averageSize = n;
    state.averageHalf = n / 2;
    state.doaverage = n > 1;
    // A: the cross averager gives 0..9; the box averager counts n*n pixels, scaled to 0..255
    // once the count no longer fits a byte.
    const std::int64_t area = std::int64_t{n} * n;
    state.maxValue = n < 3 ? 9.0f : (area >= 255 ? 255.0f : static_cast<float>(area));
    const double a = state.maxValue;
    // Products in double, rounded once to float: Threshold 0 gives high == A exactly and
    // Threshold 50 gives low == high == A / 2.
    state.low = static_cast<float>(settings.Threshold * a * 0.01);
    state.high = static_cast<float>((100.0 - settings.Threshold) * a * 0.01);
    state.middle = state.maxValue * 0.5f;
    state.addnoise = settings.NoiseLevel > 0;
    state.noiseAmplitude = static_cast<float>(settings.NoiseLevel * 0.01);
    state.diffusionType = settings.DiffusionType;
    state.diffusionToggle = settings.DiffusionToggle;
    state.verbose = settings.Verbose;
    state.random.Seed(FilterRandom::kSeed);
    state.errorRows.Release();
    state.start = std::chrono::steady_clock::now();
}

double SecondsSinceSetup(const CommonFilterState& state) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - state.start).count();
}

void ReleaseErrorRows() {
    std::lock_guard<std::mutex> lock(FilterMutex());
    FilterState().errorRows.Release();
}

}  // namespace vestrel
