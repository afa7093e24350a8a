// Small plate-like 1-bit TIFF separations written by the service's tests: a screened tone
// ramp with an ink border, so that resampling has something to do and a pass-through copy
// can be told apart from a resampled one.
#pragma once

#include <cstdint>
#include <string>

namespace plexivar::testing {

struct TestPlate {
    std::uint32_t width = 96;
    std::uint32_t height = 64;
    float dpi = 1270.0f;
    std::string description;  // ImageDescription tag; empty: none
};

// Writes a Group 4 min-is-white plate; false when it could not be written.
bool WriteTestPlate(const std::string& path, const TestPlate& plate = {});

// Width, height and resolution (dpi, X) of a TIFF file; false when it does not open.
struct PlateFacts {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    float dpiX = 0;
    float dpiY = 0;
};
bool ReadPlateFacts(const std::string& path, PlateFacts& facts);

}  // namespace plexivar::testing
