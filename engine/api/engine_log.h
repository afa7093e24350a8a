// The engine log: one line per message, "[dd-mm hh:mm:ss.mmm] message\r\n", appended to a
// fixed file that is opened and closed for every line (other processes may read it at any
// time). A failed write is ignored.
#pragma once

#include <string>

namespace vestrel {

// Longest message in bytes; longer messages are cut.
inline constexpr std::size_t kEngineLogMessageLimit = 16000;

// Sets the log file; "" drops every message. Start-up sets "<loaddir>/Plexivar.log".
void SetEngineLogPath(const std::string& path);
std::string EngineLogPath();

// printf-style, numbers in the C locale. Messages may contain "\n".
void EngineLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The line written for `message` at the given time fields (no year, day before month).
std::string FormatEngineLogLine(int day, int month, int hour, int minute, int second,
                                int millisecond, const std::string& message);

}  // namespace vestrel
