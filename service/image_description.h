// The separation convention of the TIFF ImageDescription tag:
// "<colour>;<x correction>;<y correction>;<zone>", e.g. "M;98.5;101.2;3".
#pragma once

#include <string>
#include <string_view>

namespace plexivar {

// Reads the ImageDescription tag (270) of the file's first image. Returns false, with the
// reason in `error`, when the file cannot be opened as a TIFF; a TIFF without the tag
// gives true and an empty description. libtiff's messages go to `error`, never to the
// process-wide handlers.
bool ReadImageDescription(const std::string& path, std::string& description,
                          std::string* error = nullptr);

struct DescriptionValues {
    std::string colour;        // field 1
    std::string zone;          // field 4, when there are at least 4 fields
    double correctionX = 0.0;  // percent, field 2 (with corrections and at least 3 fields)
    double correctionY = 0.0;  // percent, field 3
};

// Splits the description at ";" (see SplitFields). Corrections are taken only when
// `withCorrections` is set; values that are no finite number count as 0 (no correction).
DescriptionValues ParseImageDescription(std::string_view description, bool withCorrections);

}  // namespace plexivar
