// The filter's pseudo-random generator: a linear congruential generator with the constants of
// the C library's rand(), so a given seed always yields the same sequence on every build.
#pragma once

#include <cstdint>

namespace vestrel {

class FilterRandom {
  public:
    // Every filter set-up reseeds with this value, so an image's output does not depend on
    // what ran before it.
    static constexpr std::uint32_t kSeed = 11111;

    void Seed(std::uint32_t seed) { state_ = seed; }

    // 0 .. 32767.
    int Draw() {
        state_ = state_ * 214013u + 2531011u;  // modulo 2^32 by unsigned wrap-around
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }

    // Uniform in +- amplitude / 2.
    float NoiseTerm(float amplitude) {
        return (static_cast<float>(Draw()) / 32767.0f - 0.5f) * amplitude;
    }

  private:
    std::uint32_t state_ = kSeed;
};

}  // namespace vestrel
