// Moving files between a spooler's folders: delivering a file that needs no pixel work,
// keeping archive copies, carrying the information file, and disposing of inputs after
// the engine. An input leaves its folder only once a complete copy of it exists elsewhere
// (output, archive, or the "error" sub-folder of the folder it was found in).
#pragma once

#include <string>

#include "service/file_job.h"
#include "service/service_context.h"

namespace plexivar {

// Name of the sub-folder that keeps inputs whose job failed without an archive copy.
inline constexpr const char* kErrorFolderName = "error";

// Delivers the input unchanged (with a background merged in when configured) to the output
// folder, directly or through a staging folder, with one retry per step. False with the
// operator's message in `message` when the delivery failed; true with `message` empty, or
// holding a warning when the plate was delivered but its archive copy failed.
bool DeliverPassThrough(ServiceContext& context, const FileJob& job, std::string& message);

// After the engine: archives or removes the input, and carries (succeeded) or disposes of
// (failed) its information file. Returns a warning when the plate was delivered but its
// input could not be archived (it is then kept in the error folder); "" otherwise.
std::string DisposeAfterEngine(ServiceContext& context, const FileJob& job, bool succeeded);

// Moves the input's information file to the output folder (a copy to the archive first
// when archiving), without its correction lines when `stripCorrections`.
void CarryInformationFile(const ServiceContext& context, const FileJob& job,
                          bool stripCorrections);

// Moves `path` into the "error" sub-folder of `originFolder` (created when missing), under
// its own name or, when that is taken, with a number appended. False when it could not be
// moved.
bool MoveToErrorFolder(const std::string& path, const std::string& originFolder,
                       std::string* movedTo = nullptr);

}  // namespace plexivar
