// The spooler thread: one thread serves every enabled spooler in turn. A visit checks the
// spooler's folders, waits the poll time, scans the input folder (or its colour
// sub-folders) and hands each file that is complete and stable to the per-file job. A stop
// request is seen within one wait step and before each file; a job once begun runs to its
// end.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "service/folder_scan.h"
#include "service/service_context.h"

namespace plexivar {

class SpoolerLoop {
public:
    explicit SpoolerLoop(ServiceContext& context) : context_(context) {}

    // The thread's body: passes until a stop is requested. Returns 1.
    int Run();

private:
    enum class PassEnd { Next, Leave };

    bool StopRequested() const { return context_.flags.stopRequested.load() != 0; }
    // `steps` sleeps of `step`; false (at once) when a stop is requested.
    bool SlicedWait(int steps, std::chrono::milliseconds step);
    PassEnd Pass();
    void Reconnect();
    // False (after showing why) when a folder the visit needs is missing.
    bool CheckFolders(int index);
    bool Reachable(const std::string& folder) const;
    // Reachable, after the reconnect command (when `command` is given) and folder creation
    // (when configured).
    bool EnsureFolder(const std::string& folder, const std::string& command);
    // Poll wait and heartbeat; Leave when a stop was requested.
    PassEnd PollWait(const std::string& inputFolder);
    // True (after saying so) when the output folder holds more files than allowed.
    bool OutputFull(const std::string& outputFolder);
    // Works through folder `folderIndex` of the `folderCount` a visit of spooler `index`
    // scans; sets `stopping` when a stop is seen.
    void ServeFolder(int index, int folderIndex, int folderCount, const std::string& folder,
                     const std::string& letter, bool& stopping);
    // The file is still there, ready and unchanged since the scan.
    bool ReadyAndStable(const std::string& path, const ScanEntry& entry, bool& settled);

    ServiceContext& context_;
    int current_ = -1;
    bool reconnectPending_ = false;
    std::vector<ScanEntry> scan_;
};

// The folders a visit scans: the four colour sub-folders (with their letters) when colours
// come from sub-folders, else the input folder alone (with no letter).
std::vector<std::pair<std::string, std::string>> FoldersToScan(const SpoolerSettings& spooler,
                                                               const std::string& inputFolder);

}  // namespace plexivar
