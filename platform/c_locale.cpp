#include "platform/c_locale.h"

#include <locale.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace plexivar::platform {
namespace {

// The C locale object, created once and kept for the life of the process.
locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

// Switches the calling thread to the C locale for the life of the object.
class ThreadCLocale {
public:
    ThreadCLocale() : previous_(uselocale(CLocale())) {}
    ~ThreadCLocale() { uselocale(previous_); }
    ThreadCLocale(const ThreadCLocale&) = delete;
    ThreadCLocale& operator=(const ThreadCLocale&) = delete;

private:
    locale_t previous_;
};

}  // namespace

long long ParseInt64(std::string_view text) {
    const std::string s(text);
    errno = 0;
    return std::strtoll(s.c_str(), nullptr, 10);
}

int ParseInt(std::string_view text) {
    const long long v = ParseInt64(text);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

double ParseReal(std::string_view text) {
    const std::string s(text);
    return strtod_l(s.c_str(), nullptr, CLocale());
}

bool ParseRealStrict(std::string_view text, double& value) {
    const std::string s(text);
    if (s.empty() || s.front() == ' ' || s.front() == '\t') return false;
    char* end = nullptr;
    errno = 0;
    const double v = strtod_l(s.c_str(), &end, CLocale());
    if (errno != 0 || end != s.c_str() + s.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

std::string FormatV(const char* format, std::va_list args) {
    ThreadCLocale c;
    std::va_list copy;
    va_copy(copy, args);
    char small[256];
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, static_cast<std::size_t>(n));
    std::vector<char> big(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    return std::string(big.data(), static_cast<std::size_t>(n));
}

std::string Format(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string s = FormatV(format, args);
    va_end(args);
    return s;
}

std::string FormatReal(double value) { return Format("%f", value); }

}  // namespace plexivar::platform
