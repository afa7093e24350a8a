#include "engine/api/engine_log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/append_line.h"
#include "platform/c_locale.h"
#include "platform/local_time.h"

namespace vestrel {
namespace {

// One line at a time: the path and every append are serialised, so concurrent lines are
// neither interleaved nor lost.
std::mutex& LogMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& LogPath() {
    static std::string path;
    return path;
}

}  // namespace

void SetEngineLogPath(const std::string& path) {
    const std::lock_guard<std::mutex> lock(LogMutex());
    LogPath() = path;
}

std::string EngineLogPath() {
    const std::lock_guard<std::mutex> lock(LogMutex());
    return LogPath();
}

std::string FormatEngineLogLine(int day, int month, int hour, int minute, int second,
                                int millisecond, const std::string& message) {
    return plexivar::platform::Format("[%.2d-%.2d %.2d:%.2d:%.2d.%.3d] %s\r\n", day, month, hour,
                                      minute, second, millisecond, message.c_str());
}

void EngineLog(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string message = plexivar::platform::FormatV(format, args);
    va_end(args);
    // The message buffer holds 16,000 bytes including its terminator.
    if (message.size() >= kEngineLogMessageLimit)
        message.resize(kEngineLogMessageLimit - 1);

    const plexivar::platform::LocalTime now = plexivar::platform::Now();
    const std::string line = FormatEngineLogLine(now.day, now.month, now.hour, now.minute,
                                                 now.second, now.millisecond, message);

    const std::lock_guard<std::mutex> lock(LogMutex());
    if (LogPath().empty())
        return;
    // A failed write is ignored.
    plexivar::platform::AppendLine(LogPath(), line);
}

}  // namespace vestrel
