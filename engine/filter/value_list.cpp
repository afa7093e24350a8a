#include "engine/filter/value_list.h"

#include <charconv>
#include <system_error>
#include <vector>

namespace vestrel {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void SkipBlanks(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
}

// from_chars does not take a leading '+'; the C conversions do.
const char* SkipPlus(const char* first, const char* last) {
    return (first < last && *first == '+') ? first + 1 : first;
}

bool ReadInt(std::string_view text, std::size_t& pos, int& value) {
    SkipBlanks(text, pos);
    const char* begin = text.data() + pos;
    const char* end = text.data() + text.size();
    const char* start = SkipPlus(begin, end);
    auto [ptr, ec] = std::from_chars(start, end, value);
    if (ec != std::errc() || (start != begin && *start == '-'))
        return false;
    pos = static_cast<std::size_t>(ptr - text.data());
    return true;
}

bool ReadReal(std::string_view text, std::size_t& pos, float& value) {
    SkipBlanks(text, pos);
    const char* begin = text.data() + pos;
    const char* end = text.data() + text.size();
    const char* start = SkipPlus(begin, end);
    if (start != begin && start < end && *start == '-')
        return false;
    auto [ptr, ec] = std::from_chars(start, end, value, std::chars_format::general);
    if (ec != std::errc())
        return false;
    pos = static_cast<std::size_t>(ptr - text.data());
    return true;
}

}  // namespace

bool ParseValueList(std::string_view text, float* values, int capacity, int& count) {
    std::size_t pos = 0;
    int n = 0;
    if (!ReadInt(text, pos, n) || n < 0 || n > capacity)
        return false;
    std::vector<float> read(static_cast<std::size_t>(n));
    for (float& v : read) {
        // Each value must stand apart from the previous one.
        if (pos < text.size() && !IsBlank(text[pos]))
            return false;
        if (!ReadReal(text, pos, v))
            return false;
    }
    for (int i = 0; i < n; ++i) values[i] = read[static_cast<std::size_t>(i)];
    count = n;
    return true;
}

}  // namespace vestrel
