// The parameter bytes in front of the TIFF file of a plate target: each byte (or half byte)
// picks a value from a short list of typical, borderline and absurd values, so that the
// fuzzer explores the calls as the service makes them and as a bad ini file could.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/tiff/output_compression.h"

namespace plexivar::fuzz {

// ResamleTIFF:
//   byte 0: bit 0 keepSize, bit 1 keepResolution, bit 2 mergeBackground, bits 3-4 band height
//   byte 1: scale X (low half), scale Y (high half)
//   byte 2: target resolution X (low half), Y (high half)
//   byte 3: top margin (low half), bottom margin (high half)
//   byte 4: left margin (low half), right margin (high half)
//   byte 5: X reference (bits 0-1), Y reference (bits 2-3); 3 is no reference the engine knows
// All bytes 0 is the common call: a 600 dpi resampling at 100 % without margins.
inline constexpr std::size_t kResampleParameterBytes = 6;

struct ResampleParameters {
    int keepSize = 0;
    int keepResolution = 0;
    int mergeBackground = 0;
    int lineBuffers = 1024;
    double scaleX = 100, scaleY = 100;
    double resolutionX = 600, resolutionY = 600;
    double topMargin = 0, bottomMargin = 0, leftMargin = 0, rightMargin = 0;
    int xReference = 1, yReference = 1;
};
ResampleParameters DecodeResampleParameters(const std::uint8_t* bytes);

// SimpleResamleTIFF: byte 0 picks the scale (percent); 0 is 90 %.
inline constexpr std::size_t kSimpleParameterBytes = 1;
double DecodeSimpleScale(const std::uint8_t* bytes);

// DotGainTIFF: byte 0 picks the separation name; 0 is "Black".
inline constexpr std::size_t kDotGainParameterBytes = 1;
const char* DecodeSeparationName(const std::uint8_t* bytes);

// The merge: bytes 0-2 the size of the first file (little-endian, cut to what follows),
// byte 3 the compression setting, byte 4 bit 0 a description.
inline constexpr std::size_t kMergeParameterBytes = 5;
struct MergeParameters {
    std::size_t firstSize = 0;
    vestrel::OutputCompression compression;
    std::string description;
};
MergeParameters DecodeMergeParameters(const std::uint8_t* bytes, std::size_t size);
// The parameter bytes that merge a first file of `firstSize` bytes with what follows it.
std::string MergeParameterBytes(std::size_t firstSize, int compressionSetting = 4);

// The background plate the resampling merges when asked to (written by PrepareFuzzing).
const std::string& BackgroundPlatePath();

}  // namespace plexivar::fuzz
