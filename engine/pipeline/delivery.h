// Delivery of a finished working file to its final path: straight (a move), or staged
// through the output folder's "tmp" sub-folder or a staging folder (copy, then move), so
// that the final name only ever appears for a complete file. Each step is tried twice, a
// second or two apart, before the run fails.
#pragma once

#include <functional>
#include <string>

namespace vestrel {

// Waits the given number of milliseconds; tests replace it.
using SleepFunction = std::function<void(int milliseconds)>;
void SleepMilliseconds(int milliseconds);

// The name of the working file: "<inputPath>-<computerName>.tmp", beside the input.
std::string WorkingPath(const std::string& inputPath, const std::string& computerName);
// This machine's name (gethostname), "" when unknown.
std::string ComputerName();

// Where a staged delivery copies to first: "<output folder>/tmp/<name>" for useTempPath 1,
// "<tempPath>/<name>" for any other non-zero value.
std::string DeliveryPath(const std::string& finalPath, int useTempPath, const std::string& tempPath);

// Moves or copies `workPath` to `finalPath` as `useTempPath` says. On failure returns false
// with the message in `errorText`; `workPath` and any staged copy are deleted, and the final
// path is left as it was.
bool DeliverWorkingFile(const std::string& workPath, const std::string& finalPath,
                        int useTempPath, const std::string& tempPath, std::string& errorText,
                        const SleepFunction& sleep = SleepMilliseconds);

}  // namespace vestrel
