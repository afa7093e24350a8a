#include "engine/filter/filter_log.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/c_locale.h"

namespace vestrel {

namespace {

// A message is formatted into a 512-character buffer: at most 511 characters reach the file.
constexpr std::size_t kMaxMessageChars = 511;

std::mutex& LogMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& LogPath() {
    static std::string path = "vestrel.log";
    return path;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

void SetFilterLogPath(std::string path) {
    std::lock_guard<std::mutex> lock(LogMutex());
    LogPath() = std::move(path);
}

std::string FilterLogPath() {
    std::lock_guard<std::mutex> lock(LogMutex());
    return LogPath();
}

void FilterLog(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string message = plexivar::platform::FormatV(format, args);
    va_end(args);
    if (message.size() > kMaxMessageChars)
        message.resize(kMaxMessageChars);

    // One writer at a time, so that lines of concurrent writers are not interleaved.
    std::lock_guard<std::mutex> lock(LogMutex());
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(LogPath().c_str(), "ab"));
    if (!file)
        return;
    std::fwrite(message.data(), 1, message.size(), file.get());
}

}  // namespace vestrel
