#include "service/name_pattern.h"

#include <algorithm>

#include "service/config/settings.h"

namespace plexivar {
namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}
char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a count the way atoi does (blanks, sign, digits) starting at `pos`. Returns the
// value clamped to [-1, kMaxPlaceholderCount + 1] and stores how many characters it used.
long ReadCount(std::string_view text, std::size_t pos, std::size_t& used) {
    std::size_t i = pos;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::size_t digitsStart = i;
    long value = 0;
    while (i < text.size() && IsDigit(text[i])) {
        if (value <= kMaxPlaceholderCount)
            value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (i == digitsStart) {
        used = 0;
        return 0;
    }
    used = i - pos;
    return negative ? -value : value;
}

}  // namespace

std::string ExpandNamePattern(std::string_view pattern) {
    std::string lower(pattern);
    std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLower);

    std::string mask;
    std::size_t i = 0;
    while (i < lower.size()) {
        if (lower[i] != '%') {
            mask += lower[i++];
            continue;
        }
        ++i;  // past '%'
        std::size_t used = 0;
        const long count = ReadCount(lower, i, used);
        std::size_t repeat = 1;
        if (count > 0) {
            repeat = static_cast<std::size_t>(std::min<long>(count, kMaxPlaceholderCount));
            i += used;
        }
        if (i >= lower.size())
            break;  // a trailing "%" names no character
        mask.append(repeat, AsciiUpper(lower[i]));
        ++i;
    }
    return mask;
}

std::string ColourFromName(std::string_view pattern, std::string_view name, std::string& zone,
                           std::string_view separators) {
    zone.clear();
    if (name.empty())
        return {};
    std::string upper(pattern);
    std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
    if (upper.find("%C") == std::string::npos)
        return {};

    const std::string mask = ExpandNamePattern(pattern);
    std::string colour;

    if (mask.find_first_of(separators) == std::string::npos) {
        // Fixed positions: a name shorter than the mask simply has no character there.
        const std::size_t n = std::min(mask.size(), name.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (mask[i] == 'C')
                colour += name[i];
            else if (mask[i] == 'Z')
                zone += name[i];
        }
        return colour;
    }

    std::size_t p = 0;  // cursor in the name
    std::size_t m = 0;  // cursor in the mask
    while (m < mask.size() && p < name.size()) {
        const std::size_t end = name.find_first_of(separators, p);
        const std::string_view token =
            name.substr(p, end == std::string_view::npos ? std::string_view::npos : end - p);
        if (mask[m] == 'C')
            colour = token;
        else if (mask[m] == 'Z')
            zone = token;
        ++m;
        // The last field has no separator after it; the cursor stays on it.
        if (end != std::string_view::npos)
            p = end + 1;
        if (mask.find_first_of(separators, m) != std::string::npos)
            ++m;
    }
    return colour;
}

std::string ColourFromName(std::string_view pattern, std::string_view name, std::string& zone) {
    return ColourFromName(pattern, name, zone, GlobalSettings().service.Separators);
}

}  // namespace plexivar
