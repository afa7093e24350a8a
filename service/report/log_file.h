// The service's log file and job record file. Both are plain text files opened, appended
// and closed for every line, so operators may read or remove them at any time. A line that
// cannot be written is dropped silently. Writers are serialised process-wide, so lines from
// the window and the spooler thread never collide.
#pragma once

#include <cstdarg>
#include <string>

namespace plexivar {

// Appends "[dd-mm-yyyy hh:mm:ss.mmm] <message>\r\n" to the log file when Debug is 1 and
// LogFile is not empty (read from the global settings on every call).
void WriteLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void WriteLogV(const char* format, std::va_list args);

// Appends the formatted text unchanged (the caller ends it with "\r\n") to the job record
// file when Debug2 is 1 and LogFile2 is not empty.
void WriteJobLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Longest formatted message and longest line; longer texts are cut to fit.
inline constexpr std::size_t kMaxLogText = 8091;

}  // namespace plexivar
