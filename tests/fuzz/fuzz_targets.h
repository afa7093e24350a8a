// The fuzz targets: every reader of outside input (plates and the texts the service parses),
// each a function that takes one input of any bytes. A target either returns normally or
// stops the process (a sanitizer report, or a broken promise of the code under test, which
// it reports on standard error and aborts for). The same functions run under libFuzzer
// (one executable per target) and, for the inputs kept in tests/fuzz/regressions, under the
// ordinary test run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace plexivar::fuzz {

using FuzzFunction = void (*)(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
    const char* name;  // also the folder of its seeds and kept inputs
    FuzzFunction run;
    // The plate targets start with parameter bytes (scale, resolution, ...) before the TIFF
    // file; this many.
    std::size_t parameterBytes;
};

std::span<const FuzzTarget> FuzzTargets();
// Null when no target has that name.
const FuzzTarget* FindFuzzTarget(std::string_view name);

// Makes the process ready for the plate targets: the engine started in the scratch folder (working files straight, no logs), a background plate for
// the merges. Call once before any target runs; the folder goes when the process ends.
void PrepareFuzzing();

// Aborts, after saying so on standard error, when `promise` does not hold.
void Require(bool promise, const char* what, const std::string& detail = {});

// Plate targets skip inputs that declare more pixels than this (in or out): a mutated size
// tag that asks for hours of legitimate work is no finding, and an input must stay quick.
inline constexpr std::uint64_t kMaxFuzzPixels = 1u << 20;

}  // namespace plexivar::fuzz
