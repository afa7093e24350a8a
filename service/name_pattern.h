// File-name patterns that locate the separation colour and the press zone in a name.
//
// A pattern is literal text with placeholders: "%", an optional decimal count, and one
// character. "%C" marks the colour, "%Z" the zone, anything else ("%?") a field that is
// ignored; placeholder letters are case-insensitive. "%?-%C.tif" is the default.
#pragma once

#include <string>
#include <string_view>

namespace plexivar {

// A placeholder repeats its character at most this often; a larger count in the settings
// would otherwise build a mask of gigabytes. File names are far shorter.
inline constexpr int kMaxPlaceholderCount = 4096;

// The mask of a pattern: one character per name character. Literal text is lower-cased,
// each placeholder becomes its upper-cased character repeated count times.
// "%?-%C.tif" -> "?-C.tif", "%3?%C" -> "???C", "%2?_%C_%3Z" -> "??_C_ZZZ".
std::string ExpandNamePattern(std::string_view pattern);

// The colour text that `pattern` locates in `name`, and the zone in `zone` ("" when the
// pattern has none). Returns "" for an empty name or a pattern without "%C".
//
// When the mask holds none of the `separators`, every "C" and "Z" of the mask takes the
// name's character at the same position (positions past the end of the name are absent).
// Otherwise the name is read field by field: each mask character consumes the name up to
// its next separator, and a separator in the mask is stepped over while the rest of the
// mask still holds one. With "-_." '12345-C.tif' gives "C" and 'page7-cyan.tif' "cyan".
std::string ColourFromName(std::string_view pattern, std::string_view name, std::string& zone,
                           std::string_view separators);

// As above with the `Separators` of the global settings.
std::string ColourFromName(std::string_view pattern, std::string_view name, std::string& zone);

}  // namespace plexivar
