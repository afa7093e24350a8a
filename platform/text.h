// Case-insensitive comparison of 8-bit file-name text. Names arrive either in Windows-1252
// (files from Windows clients) or in UTF-8 (Linux clients), so letters such as "å", "ø" and
// "ö" are folded in both encodings.
#pragma once

#include <string>
#include <string_view>

namespace plexivar::platform {

// Lower-cases ASCII letters, the Latin-1/Windows-1252 capitals 0xC0..0xDE (except 0xD7) and
// the UTF-8 two-byte capitals U+00C0..U+00DE (except U+00D7).
std::string FoldCase(std::string_view text);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace plexivar::platform
