#include "service/file_transfer.h"

#include <chrono>
#include <functional>

#include "engine/tiff/background_merge.h"
#include "platform/file_ops.h"
#include "platform/stage_file.h"
#include "service/info_file.h"
#include "service/report/log_file.h"

namespace plexivar {
namespace {

using FileOperation =
    std::function<bool(const std::string&, const std::string&, std::string*)>;

// Pause before the one retry of a delivering move or copy.
constexpr std::chrono::milliseconds kRetryPause{1000};

// A delivering step: tried, and after a failure logged as a warning, tried once more after
// a pause.
bool TryTwice(ServiceContext& context, const char* verb, const FileOperation& operation,
              const std::string& from, const std::string& to) {
    std::string error;
    if (operation(from, to, &error)) return true;
    WriteLog("WARNING: First attempt to %s %s to %s failed - %s", verb, from.c_str(), to.c_str(),
             error.c_str());
    context.clock.Sleep(kRetryPause);
    return operation(from, to, &error);
}

bool Move(const std::string& from, const std::string& to, std::string* error) {
    return platform::MoveFileReplace(from, to, error);
}
// The staged copy: a hard link when input and staging folder share a file system.
bool Stage(const std::string& from, const std::string& to, std::string* error) {
    return platform::StageFile(from, to, error);
}

// The input of a job that failed leaves its folder: deleted when the archive holds a copy,
// else kept in the error folder. When even that fails it stays where it is, to be tried
// again, rather than being lost.
void DisposeOfFailedInput(const std::string& inputPath, bool archived) {
    if (archived && platform::DeleteFile(inputPath)) return;
    std::string movedTo;
    if (MoveToErrorFolder(inputPath, platform::DirectoryOf(inputPath), &movedTo)) {
        WriteLog("INFO: %s kept in %s", inputPath.c_str(), movedTo.c_str());
        return;
    }
    WriteLog("ERROR: Unable to move %s out of the input folder; it stays there",
             inputPath.c_str());
}

// Logs that the input of a delivered plate has no archive copy, and returns the warning
// for its job record.
std::string ArchiveWarning(const FileJob& job, const std::string& why) {
    WriteLog("WARNING: Unable to archive %s to %s - %s", job.inputPath.c_str(),
             job.archivePath.c_str(), why.c_str());
    return "Unable to archive " + job.fileName + " - " + why;
}

// Merges the background into the input in place. False when the merge failed; the input
// is then unchanged.
bool MergeIntoInput(const std::string& inputPath, const std::string& backgroundPath) {
    const std::string work = inputPath + ".tmp2";
    platform::DeleteFile(work);
    std::string why;
    const bool merged = vestrel::MergeBackground(inputPath, backgroundPath, work, "",
                                                 vestrel::kPassThroughCompression, &why) &&
                        platform::MoveFileReplace(work, inputPath, &why);
    platform::DeleteFile(work);
    if (!merged) WriteLog("WARNING: Merge of %s failed - %s", inputPath.c_str(), why.c_str());
    return merged;
}

std::string StagingPath(const ServiceContext& context, const FileJob& job) {
    const ServiceSettings& s = context.service();
    const std::string folder =
        s.UseTempPath == 1
            ? platform::JoinPath(context.Resolve(job.spooler->OutputFolder), "tmp")
            : context.Resolve(s.TempPath);
    platform::CreateDirectories(folder);
    return platform::JoinPath(folder, job.fileName);
}

// Delivery through a staging file: the input is copied there, the complete copy moved into
// the output folder, and only then is the input removed.
bool DeliverStaged(ServiceContext& context, const FileJob& job, bool archived,
                   std::string& message) {
    const std::string staging = StagingPath(context, job);
    platform::DeleteFile(job.outputPath);
    platform::DeleteFile(staging);
    if (!TryTwice(context, "copy", Stage, job.inputPath, staging)) {
        message = "Error copying file " + job.inputPath + " to " + staging;
        platform::DeleteFile(staging);
        DisposeOfFailedInput(job.inputPath, archived);
        return false;
    }
    if (!TryTwice(context, "move", Move, staging, job.outputPath)) {
        message = "Error moving file " + staging + " to " + job.outputPath;
        // The staged copy is complete: it is kept for the operator, and the input may go.
        if (MoveToErrorFolder(staging, job.folder)) {
            platform::DeleteFile(job.inputPath);
        } else {
            platform::DeleteFile(staging);
            DisposeOfFailedInput(job.inputPath, archived);
        }
        return false;
    }
    platform::DeleteFile(job.inputPath);
    platform::DeleteFile(staging);
    return true;
}

}  // namespace

bool MoveToErrorFolder(const std::string& path, const std::string& originFolder,
                       std::string* movedTo) {
    const std::string folder = platform::JoinPath(originFolder, kErrorFolderName);
    if (!platform::CreateDirectory(folder)) return false;
    const std::string name = platform::FileNameOf(path);
    std::string target = platform::JoinPath(folder, name);
    for (int n = 1; platform::FileExists(target) && n < 10000; ++n)
        target = platform::JoinPath(folder, name + "." + std::to_string(n));
    if (!platform::MoveFileReplace(path, target)) return false;
    if (movedTo) *movedTo = target;
    return true;
}

bool DeliverPassThrough(ServiceContext& context, const FileJob& job, std::string& message) {
    const ServiceSettings& s = context.service();
    const SpoolerSettings& spooler = *job.spooler;

    std::string archiveWarning;
    bool archived = false;
    if (spooler.MakeArchive != 0 && !job.archivePath.empty()) {
        std::string why;
        archived = platform::CopyFileReplace(job.inputPath, job.archivePath, &why);
        if (!archived) archiveWarning = ArchiveWarning(job, why);
    }

    if (!platform::TouchFile(job.inputPath))
        WriteLog("WARNING: Unable to set write time on pass-through file %s",
                 job.inputPath.c_str());

    const std::string background = context.Resolve(spooler.MergeFileName);
    if (spooler.MergeFile != 0 && platform::FileExists(background) &&
        !MergeIntoInput(job.inputPath, background)) {
        message = "Error copying file " + job.inputPath + " to " + background;
        DisposeOfFailedInput(job.inputPath, archived);
        return false;
    }

    if (s.UseTempPath == 0) {
        if (!TryTwice(context, "move", Move, job.inputPath, job.outputPath)) {
            message = "Error moving file " + job.inputPath + " to " + job.outputPath;
            DisposeOfFailedInput(job.inputPath, archived);
            return false;
        }
    } else if (!DeliverStaged(context, job, archived, message)) {
        return false;
    }
    CarryInformationFile(context, job, false);
    message = archiveWarning;
    return true;
}

std::string DisposeAfterEngine(ServiceContext& context, const FileJob& job, bool succeeded) {
    const bool archive = job.spooler->MakeArchive != 0 && !job.archivePath.empty();
    if (succeeded) {
        std::string warning;
        std::string why;
        if (!archive) {
            platform::DeleteFile(job.inputPath);
        } else if (!platform::MoveFileReplace(job.inputPath, job.archivePath, &why)) {
            // The plate is in the output folder; the original is kept for the operator
            // instead of being processed again.
            warning = ArchiveWarning(job, why);
            DisposeOfFailedInput(job.inputPath, false);
        }
        CarryInformationFile(context, job, true);
        return warning;
    }
    const bool archived = archive && platform::MoveFileReplace(job.inputPath, job.archivePath);
    if (!archived) DisposeOfFailedInput(job.inputPath, false);
    if (!platform::FileExists(job.informationInputPath)) return {};
    if (archived) {
        platform::MoveFileReplace(job.informationInputPath, job.informationArchivePath);
    } else if (!MoveToErrorFolder(job.informationInputPath, job.folder)) {
        platform::DeleteFile(job.informationInputPath);
    }
    return {};
}

void CarryInformationFile(const ServiceContext&, const FileJob& job, bool stripCorrections) {
    if (!platform::FileExists(job.informationInputPath)) return;
    if (job.spooler->MakeArchive != 0 && !job.informationArchivePath.empty())
        platform::CopyFileReplace(job.informationInputPath, job.informationArchivePath);
    if (stripCorrections) StripCorrections(job.informationInputPath);
    platform::MoveFileReplace(job.informationInputPath, job.informationOutputPath);
}

}  // namespace plexivar
