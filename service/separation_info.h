// What separation detection learns about one input file: its colour, press zone, scale
// corrections and the page-table key of the plate.
#pragma once

#include <cstdint>
#include <string>

namespace plexivar {

struct SeparationInfo {
    // One upper-case letter in practice ("C", "M", "Y", "K"); a colour word taken from a
    // file name stays a word (e.g. "CYAN"), of which only the first letter is used later.
    std::string colour = "K";
    std::string zone;
    // Percent; 0 means that no correction was given.
    double correctionX = 0.0;
    double correctionY = 0.0;
    // Key of the plate in the page table; usable only when greater than 1.
    std::int64_t flatSeparation = 0;
};

// Values of `ColorDetection`.
enum ColorDetectionMode : int {
    BySubFolder = 0,
    ByFileName = 1,
    ByImageDescription = 2,
    ByImageDescriptionWithCorrection = 3,
    ByInformationFile = 4,
};

}  // namespace plexivar
