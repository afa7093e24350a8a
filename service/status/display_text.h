// Texts of the service (file names, folders, comments) as UTF-8 for a browser or a JSON
// reader. File names arrive as bytes, either in UTF-8 (Linux clients) or in Windows-1252
// (Windows clients); a text that is not valid UTF-8 is read as Windows-1252, so "rød" from a
// Windows client shows as "rød", never as replacement marks or a refused JSON document.
#pragma once

#include <string>
#include <string_view>

namespace plexivar {

// `text` unchanged when it is valid UTF-8, else converted from Windows-1252 (its five
// unassigned bytes become U+FFFD).
std::string DisplayText(std::string_view text);

// DisplayText with the characters that are special in HTML escaped (& < > " ').
std::string HtmlText(std::string_view text);

}  // namespace plexivar
