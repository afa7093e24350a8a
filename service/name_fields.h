// Field helpers for file names and comma-separated lists.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plexivar {

// Whitespace removed at both ends.
std::string TrimBlanks(std::string_view text);

// Trims the text, then cuts it at every character of `delimiters`; empty fields are kept,
// so there is always at least one field. Returns the number of fields.
int SplitFields(std::string_view text, std::string_view delimiters,
                std::vector<std::string>& fields);

// The page-table key in a file name: the name without its last extension, then the text
// after its last "-" (or all of it), read as a signed 64-bit decimal number (leading
// digits; none give 0; out-of-range values are clamped). 'C-1234567.tif' gives 1234567,
// '1234567-C.tif' gives 0.
std::int64_t FlatSeparationFromName(std::string_view fileName);

// True when the trimmed zone equals one of the trimmed fields of the comma-separated
// list (case-sensitive). An empty zone or an empty list never matches.
bool ZoneInList(std::string_view zone, std::string_view list);

}  // namespace plexivar
