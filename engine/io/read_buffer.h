// The engine's input read buffer. It lives across jobs and only grows, so a stream of
// similar plates allocates it once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vestrel {

class ReadBuffer {
  public:
    // Makes at least `bytes` bytes available, keeping the present block when it is large
    // enough. On failure the buffer is released and `error` holds the system's reason.
    bool Reserve(std::size_t bytes, std::string* error = nullptr);
    void Release();

    std::uint8_t* data() { return data_.get(); }
    const std::uint8_t* data() const { return data_.get(); }
    std::size_t size() const { return size_; }

  private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t size_ = 0;
};

}  // namespace vestrel
