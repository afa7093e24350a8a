// The filter's debug log: error lines of the filter and, when Verbose is set, its timing lines.
#pragma once

#include <string>

namespace vestrel {

// Where FilterLog appends. The engine start-up sets "<directory current at load>/vestrel.log";
// until then it is "vestrel.log" in the current directory.
void SetFilterLogPath(std::string path);
std::string FilterLogPath();

// printf-style (C locale). The message is cut to 511 characters and appended to the log file,
// which is opened, written and closed for every message so that others can read it meanwhile.
// A log that cannot be opened loses the message. Safe to call from several threads.
void FilterLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A failure of the filter: logged like FilterLog and kept as the reason the pipeline appends
// to its message ("Data estimation error - InitResampleFilter: invalid scale ...").
void FilterError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The last failure's text without its line end ("" when none) and forgets it.
std::string TakeFilterError();

}  // namespace vestrel
