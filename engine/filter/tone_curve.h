// A tone curve: up to 12 points mapping input tone (percent) to output tone (percent).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vestrel {

inline constexpr int kToneCurveCapacity = 12;

struct ToneCurve {
    std::int32_t capacity = kToneCurveCapacity;       // maximum number of points
    std::int32_t count = 2;                           // points in use
    std::int32_t variant[2] = {0, 0};                 // evaluation variant flags; 0 in this system
    float XMax = 100.0f;                              // XVal meaning full tone
    float YMax = 100.0f;                              // YVal meaning full tone
    float XVal[kToneCurveCapacity] = {0.0f, 100.0f};  // input tones, strictly increasing
    float YVal[kToneCurveCapacity] = {0.0f, 100.0f};  // output tones
    std::string name;  // separation name; "" for an unregistered slot
};

// The identity curve: points (0, 0) and (100, 100), both maxima 100.
ToneCurve IdentityCurve(std::string_view name = {});

}  // namespace vestrel
