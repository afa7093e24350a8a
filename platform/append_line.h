// Appending a line to a log file that is opened, written and closed for every line, so that
// other processes may read, copy or remove the file at any time. The one routine behind the
// service's log and job record file and the engine's log and filter log.
#pragma once

#include <string>
#include <string_view>

namespace plexivar::platform {

// Appends `text` (the line with its line end) to `path`, creating the file with mode 0644
// when it is missing. The file is opened with O_APPEND and the text written in one write
// call where the system allows it; an open or write interrupted by a signal (EINTR) is
// repeated and a short write is continued, so a line is never dropped or cut by a signal.
// Returns false when the file cannot be opened or written (callers that log ignore it).
// No locking: callers that must not interleave lines hold their own lock.
bool AppendLine(const std::string& path, std::string_view text);

}  // namespace plexivar::platform
