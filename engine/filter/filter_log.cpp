#include "engine/filter/filter_log.h"

#include <cstdarg>
#include <mutex>
#include <utility>

#include "platform/append_line.h"
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

// The last failure's text, guarded by LogMutex.
std::string& LastError() {
    static std::string text;
    return text;
}

void Write(std::string message, bool isError) {
    if (message.size() > kMaxMessageChars)
        message.resize(kMaxMessageChars);

    // One writer at a time, so that lines of concurrent writers are not interleaved.
    std::lock_guard<std::mutex> lock(LogMutex());
    if (isError) {
        std::string& last = LastError();
        last = message;
        while (!last.empty() && (last.back() == '\n' || last.back() == '\r')) last.pop_back();
    }
    // A log that cannot be written loses the message.
    plexivar::platform::AppendLine(LogPath(), message);
}

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
    Write(std::move(message), false);
}

void FilterError(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string message = plexivar::platform::FormatV(format, args);
    va_end(args);
    Write(std::move(message), true);
}

std::string TakeFilterError() {
    std::lock_guard<std::mutex> lock(LogMutex());
    return std::exchange(LastError(), std::string());
}

}  // namespace vestrel
