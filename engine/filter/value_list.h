// The point lists of a tone-curve section: "N v1 v2 ... vN", blank separated.
#pragma once

#include <string_view>

namespace vestrel {

// Parses `text` into values[0..count-1]. Accepts 0..capacity values; rejects an empty text,
// a count that is not a number, negative or above `capacity`, and a list with fewer than N
// readable reals (numbers are read in the C locale). On rejection `values` and `count` are
// left unchanged.
bool ParseValueList(std::string_view text, float* values, int capacity, int& count);

}  // namespace vestrel
