// Information files: small text files beside an image ("<name>.inf") that carry its
// separation colour, zone and scale corrections as "Key: value" lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plexivar {

// Only the start of an information file is read for detection.
inline constexpr std::size_t kInformationReadLimit = 4096;
// Larger files are not rewritten by StripCorrections (they are not information files).
inline constexpr std::size_t kInformationRewriteLimit = 1 << 20;

// The information file of an image: the file name's last extension replaced by ".inf".
// A name without extension gets ".inf" appended, so the path never names the image itself.
std::string InformationFilePath(const std::string& imagePath);

// Values found in an information file; absent keys leave the defaults.
struct InformationValues {
    std::string colour;        // first character of the "ColorName: " value, or ""
    std::string zone;          // "Zone: " value, trimmed
    double correctionX = 0.0;  // percent; 0 when absent or not a finite number
    double correctionY = 0.0;
};

// Reads at most kInformationReadLimit bytes of the file (regular files only; a FIFO or
// folder of that name is refused, never waited on). Text after a NUL byte is dropped.
// On failure returns false with the reason in `error`; nothing is created.
bool ReadInformationText(const std::string& path, std::string& text, std::string* error = nullptr);

// Each key ("ColorName: ", "Xcorrection: ", "Ycorrection: ", "Zone: ", case-sensitive)
// takes the text after its first occurrence up to the end of that line, trailing blanks
// removed.
InformationValues ParseInformationText(std::string_view text);

// Removes the first "Xcorrection: " line and then the first "Ycorrection: " line (from the
// key through the line end), each only when more text follows it: a correction on the
// last line stays.
std::string StripCorrectionsFromText(std::string text);

// Applies StripCorrectionsFromText to the whole file and replaces it atomically (temporary
// file and rename) when something was removed. Returns false when the file could not be
// read or written, or is larger than kInformationRewriteLimit; the file is then unchanged.
bool StripCorrections(const std::string& informationPath);

}  // namespace plexivar
