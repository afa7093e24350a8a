// Separation detection: which colour, zone and scale corrections an input file has, taken
// from its colour sub-folder, its name, its TIFF image description or its information
// file, as the spooler's ColorDetection says.
#pragma once

#include <string>
#include <string_view>

#include "service/config/settings.h"
#include "service/separation_info.h"

namespace plexivar {

struct DetectionOptions {
    // Characters that split file names into fields (`Separators`).
    std::string separators = "-_.";
    // Information-file mode removes the information file once it has been read; a dry run
    // (the --detect command) keeps it.
    bool deleteInformationFile = true;
    // When given, every reason why a source gave nothing (unreadable file, bad regular
    // expression) is appended here as one line.
    std::string* notes = nullptr;
};

// Detects the separation of one file. `folderLetter` is the colour sub-folder the file was
// found in (sub-folder mode), `fileName` its name, `inputPath` its path, and
// `informationPath` the path of its information file. Without `EnableScaling` nothing is
// detected: colour "K", no zone, no corrections. Never fails: an unreadable source gives
// the defaults. `flatSeparation` is filled from the file name.
SeparationInfo DetectSeparation(const SpoolerSettings& spooler, const std::string& folderLetter,
                                const std::string& fileName, const std::string& inputPath,
                                const std::string& informationPath,
                                const DetectionOptions& options);

// As above with the global `Separators`, deleting the information file after reading.
SeparationInfo DetectSeparation(const SpoolerSettings& spooler, const std::string& folderLetter,
                                const std::string& fileName, const std::string& inputPath,
                                const std::string& informationPath);

// The last step of detection: "b"/"B" means black; in the description and information
// modes only exactly "C", "M", "Y" or "K" are kept; an empty colour becomes "K"; then the
// colour is upper-cased.
std::string FinalColour(const std::string& colour, int mode);

// Upper-cases ASCII letters and the accented Latin-1 letters, in Windows-1252 bytes or as
// UTF-8 pairs, so that a colour word such as "blå" becomes "BLÅ" in its own encoding and
// still matches case-insensitively later.
std::string UpperCaseColour(std::string_view colour);

}  // namespace plexivar
