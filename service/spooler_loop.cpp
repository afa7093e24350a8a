#include "service/spooler_loop.h"

#include "platform/file_identity.h"
#include "platform/file_ops.h"
#include "service/database_reports.h"
#include "service/file_job.h"
#include "service/folder_check.h"
#include "service/info_file.h"
#include "service/report/job_record.h"
#include "service/report/operator_view.h"
#include "service/run_command.h"
#include "service/stale_work_files.h"

namespace plexivar {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPassPause{500};
constexpr milliseconds kReconnectStep{100};
constexpr int kReconnectSteps = 25;  // 2.5 s, twice
constexpr milliseconds kFullPause{1000};
constexpr int kReconnectCommandSeconds = 60;
const char* const kColourLetters[] = {"C", "M", "Y", "K"};

bool SubFolderMode(const SpoolerSettings& spooler) {
    return spooler.EnableScaling != 0 && spooler.ColorDetection == BySubFolder;
}

bool SameTime(const std::timespec& a, const std::timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> FoldersToScan(const SpoolerSettings& spooler,
                                                               const std::string& inputFolder) {
    std::vector<std::pair<std::string, std::string>> folders;
    if (SubFolderMode(spooler)) {
        for (const char* letter : kColourLetters)
            folders.emplace_back(platform::JoinPath(inputFolder, letter), letter);
    } else {
        folders.emplace_back(inputFolder, "");
    }
    return folders;
}

int SpoolerLoop::Run() {
    const ServiceSettings& s = context_.service();
    context_.engine.SetParams(s.Linebuffers < 1 ? 1024 : s.Linebuffers, 1, 1);
    current_ = -1;
    reconnectPending_ = false;
    // Working files of runs that were killed are no use to anyone; they would pile up.
    for (int n = 1; n <= std::min(s.NumberOfSpoolers, MaxSpoolers); ++n) {
        const SpoolerSettings& spooler = context_.settings.Spooler(n);
        if (spooler.Enable == 0) continue;
        for (const auto& [folder, letter] :
             FoldersToScan(spooler, context_.Resolve(spooler.InputFolder)))
            RemoveStaleWorkingFiles(folder);
    }
    while (!StopRequested()) {
        if (Pass() == PassEnd::Leave) break;
    }
    SetProgress(0, "Stopped");
    SetStatusText("");
    ReportProcessState(context_.database, context_.service(), false);
    context_.flags.loopAlive = 0;
    return 1;
}

bool SpoolerLoop::SlicedWait(int steps, milliseconds step) {
    for (int i = 0; i < steps; ++i) {
        if (StopRequested()) return false;
        context_.clock.Sleep(step);
    }
    return !StopRequested();
}

void SpoolerLoop::Reconnect() {
    SetProgress(0, " ");
    if (!SlicedWait(kReconnectSteps, kReconnectStep)) return;
    SetProgress(0, "Reconnecting..");
    ShowError("");
    if (!SlicedWait(kReconnectSteps, kReconnectStep)) return;
    reconnectPending_ = false;
    std::string error;
    if (!ReconnectDatabase(context_.database, context_.service(), error))
        ShowError("Database error - " + error);
}

bool SpoolerLoop::Reachable(const std::string& folder) const {
    return CheckFolder(folder, context_.service().BypassPingTest == 1);
}

bool SpoolerLoop::EnsureFolder(const std::string& folder, const std::string& command) {
    if (Reachable(folder)) return true;
    if (!command.empty()) {
        RunCommand(command, kReconnectCommandSeconds, context_.clock);
        context_.clock.Sleep(kPassPause);
        if (Reachable(folder)) return true;
    }
    if (context_.service().CreateFolders == 0) return false;
    platform::CreateDirectory(folder);
    return Reachable(folder);
}

bool SpoolerLoop::CheckFolders(int index) {
    const ServiceSettings& s = context_.service();
    const SpoolerSettings& spooler = context_.settings.spoolers[static_cast<std::size_t>(index)];
    const std::string input = context_.Resolve(spooler.InputFolder);
    const std::string output = context_.Resolve(spooler.OutputFolder);
    const auto fail = [this](const std::string& message) {
        ShowError(message);
        reconnectPending_ = true;
        return false;
    };
    const auto command = [](int fire, const std::string& line) {
        return fire != 0 ? line : std::string();
    };
    if (!EnsureFolder(input, command(s.FireCommandOnFolderReconnectInput,
                                     s.FolderReconnectCommandInput)))
        return fail("Unable to locate input folder " + input + ". Please check configuration");
    if (!EnsureFolder(output, command(s.FireCommandOnFolderReconnectOutput,
                                      s.FolderReconnectCommandOutput)))
        return fail("Unable to locate output folder " + output + ". Please check configuration");
    // A folder that is both input and output (or archive) would take its own deliveries
    // as new work, and a staged delivery would remove the input it is copying.
    if (platform::SameFile(input, output))
        return fail("Input folder " + input + " is also the output folder. Please check configuration");
    if (s.UseTempPath == 1) {
        const std::string staging = platform::JoinPath(output, "tmp");
        if (!Reachable(staging)) platform::CreateDirectory(staging);
    }
    if (SubFolderMode(spooler)) {
        for (const auto& [folder, letter] : FoldersToScan(spooler, input))
            if (!EnsureFolder(folder, ""))
                return fail("Unable to locate input folder " + folder +
                            ". Please check configuration");
    }
    if (spooler.MakeArchive != 0) {
        const std::string archive = context_.Resolve(spooler.ArchiveFolder);
        // The pass goes on: archiving of its files fails, the inputs are kept elsewhere.
        if (!EnsureFolder(archive, ""))
            fail("Unable to locate output backup folder " + archive +
                 ". Please check configuration");
        else if (platform::SameFile(input, archive) || platform::SameFile(output, archive))
            return fail("Output backup folder " + archive +
                        " is also the input or output folder. Please check configuration");
    }
    return true;
}

SpoolerLoop::PassEnd SpoolerLoop::PollWait(const std::string& inputFolder) {
    const ServiceSettings& s = context_.service();
    const milliseconds step{s.PollTime > 0 ? s.PollTime * 5 : 0};
    SetStatusText("");
    if (s.PollTime != 0) {
        for (int k = 0; k < 100; ++k) {
            if (StopRequested()) return PassEnd::Leave;
            SetProgress(k, "Scanning..");
            context_.clock.Sleep(step);
        }
    }
    if (StopRequested()) return PassEnd::Leave;
    SetSpoolerRowImage(current_, kSpoolerSearching);
    SetStatusText("Searching " + inputFolder + "..");
    if (s.PollTime != 0) {
        for (int k = 100; k > 0 && !StopRequested(); --k) {
            SetProgress(k, "Scanning..");
            context_.clock.Sleep(step);
        }
    }
    ReportProcessState(context_.database, s, true);
    return StopRequested() ? PassEnd::Leave : PassEnd::Next;
}

bool SpoolerLoop::OutputFull(const std::string& outputFolder) {
    const int limit = context_.service().MaxFilesInOutputFolder;
    if (limit <= 0 || CountFiles(outputFolder, "*.*") <= limit) return false;
    SetStatusText("Outputfolder " + outputFolder + " full..");
    context_.clock.Sleep(kFullPause);
    return true;
}

SpoolerLoop::PassEnd SpoolerLoop::Pass() {
    context_.flags.loopAlive = 1;
    if (context_.heartbeat) context_.heartbeat();
    context_.clock.Sleep(kPassPause);
    if (StopRequested()) return PassEnd::Leave;
    if (reconnectPending_) {
        Reconnect();
        if (StopRequested()) return PassEnd::Leave;
    }

    const int count = std::min(context_.service().NumberOfSpoolers, MaxSpoolers);
    if (count < 1) return PassEnd::Next;
    current_ = current_ + 1 >= count ? 0 : current_ + 1;
    const SpoolerSettings& spooler = context_.settings.spoolers[static_cast<std::size_t>(current_)];
    if (spooler.Enable == 0) return PassEnd::Next;
    if (!CheckFolders(current_)) return PassEnd::Next;

    const std::string input = context_.Resolve(spooler.InputFolder);
    const std::string output = context_.Resolve(spooler.OutputFolder);
    if (PollWait(input) == PassEnd::Leave) return PassEnd::Leave;
    if (OutputFull(output)) return PassEnd::Next;
    SetSpoolerRowImage(current_, kSpoolerIdle);

    bool stopping = false;
    const auto folders = FoldersToScan(spooler, input);
    for (std::size_t i = 0; i < folders.size(); ++i)
        ServeFolder(current_, static_cast<int>(i), static_cast<int>(folders.size()),
                    folders[i].first, folders[i].second, stopping);
    return stopping ? PassEnd::Leave : PassEnd::Next;
}

bool SpoolerLoop::ReadyAndStable(const std::string& path, const ScanEntry& entry,
                                 bool& settled) {
    platform::FileInfo info;
    if (!platform::FileExists(path) || platform::DirectoryExists(path) ||
        !platform::ProbeFileReady(path))
        return false;
    const int stableTime = context_.service().StableTime;
    if (stableTime <= 0) return true;
    // One settling pause per scan, before the first file that gets this far.
    if (!settled) {
        context_.clock.Sleep(milliseconds(stableTime));
        settled = true;
    }
    return platform::GetFileInfo(path, info) && info.size == entry.size &&
           SameTime(info.lastWriteTime, entry.lastWriteTime);
}

void SpoolerLoop::ServeFolder(int index, int folderIndex, int folderCount,
                              const std::string& folder, const std::string& letter,
                              bool& stopping) {
    const ServiceSettings& s = context_.service();
    const SpoolerSettings& spooler = context_.settings.spoolers[static_cast<std::size_t>(index)];
    const int n = ScanFolder(folder, s.SearchMask, scan_);
    if (context_.events) context_.events->SpoolerScanned(index, folderIndex, folderCount, n);
    if (n < 1 || stopping) return;
    const std::string output = context_.Resolve(spooler.OutputFolder);
    bool settled = false;
    for (const ScanEntry& entry : scan_) {
        if (StopRequested()) {
            stopping = true;
            return;
        }
        if (OutputFull(output)) return;
        const std::string path = platform::JoinPath(folder, entry.name);
        if (!ReadyAndStable(path, entry, settled)) continue;
        if (spooler.EnableScaling != 0 && spooler.ColorDetection == ByInformationFile) {
            const std::string information = InformationFilePath(path);
            if (!platform::FileExists(information) || !platform::ProbeFileReady(information))
                continue;
        }
        FileJob job = MakeFileJob(context_, index, folder, letter, entry.name);
        if (RunFileJob(context_, job) == JobOutcome::DeliveryFailed) reconnectPending_ = true;
        SetStatusText("");
    }
}

}  // namespace plexivar
