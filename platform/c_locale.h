// Number conversions that always use the C locale ('.' as the decimal point), whatever
// locale the process runs in. Qt sets the process locale from the environment, so the
// plain C functions would otherwise read "1270,5" and write "1270,500000" on some servers.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace plexivar::platform {

// atoi semantics: leading blanks, optional sign, decimal digits; anything unparsable is 0;
// values beyond the int range are clamped.
int ParseInt(std::string_view text);
// atof semantics in the C locale: the longest valid prefix, 0.0 when there is none.
double ParseReal(std::string_view text);
// The whole text as a finite number in the C locale (no trailing characters); false for
// anything else. For command lines, where a typo must not silently become 0.
bool ParseRealStrict(std::string_view text, double& value);
// Signed 64-bit decimal (atoll semantics).
long long ParseInt64(std::string_view text);

// printf-style formatting into a std::string, in the C locale.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, std::va_list args);

// "%f": six decimals, e.g. 1270 -> "1270.000000".
std::string FormatReal(double value);

}  // namespace plexivar::platform
