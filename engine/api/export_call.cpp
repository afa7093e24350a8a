#include "engine/api/export_call.h"

#include <algorithm>
#include <cstring>

namespace vestrel {

void CopyToBuffer(const std::string& text, char* buffer, std::size_t size) noexcept {
    if (buffer == nullptr || size == 0)
        return;
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

void SetUnexpectedError(std::string& message, const char* what) noexcept {
    try {
        message = what != nullptr && *what != '\0' ? std::string("Unexpected error: ") + what
                                                    : std::string("Unexpected error");
    } catch (...) {
        message.clear();
    }
}

}  // namespace vestrel
