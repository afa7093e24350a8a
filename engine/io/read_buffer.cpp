#include "engine/io/read_buffer.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace vestrel {

bool ReadBuffer::Reserve(std::size_t bytes, std::string* error) {
    if (data_ && size_ >= bytes)
        return true;
    Release();
    try {
        // Left uninitialised: every byte served is read from the file first.
        data_ = std::make_unique_for_overwrite<std::uint8_t[]>(bytes == 0 ? 1 : bytes);
    } catch (const std::bad_alloc&) {
        if (error != nullptr)
            *error = std::strerror(ENOMEM);
        return false;
    }
    size_ = bytes;
    return true;
}

void ReadBuffer::Release() {
    data_.reset();
    size_ = 0;
}

}  // namespace vestrel
