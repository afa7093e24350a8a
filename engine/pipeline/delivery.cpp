#include "engine/pipeline/delivery.h"

#include <unistd.h>

#include <array>
#include <thread>

#include "engine/api/engine_log.h"
#include "platform/c_locale.h"
#include "platform/file_ops.h"

namespace vestrel {
namespace fs = plexivar::platform;
namespace {

// Moves with one retry; logs as the delivery does. False after the second failure.
bool MoveWithRetry(const std::string& from, const std::string& to, const SleepFunction& sleep) {
    std::string why;
    if (!fs::MoveFileReplace(from, to, &why)) {
        EngineLog("WARNING: First attempt to move %s to %s failed - %s", from.c_str(), to.c_str(),
                  why.c_str());
        sleep(2000);
        if (!fs::MoveFileReplace(from, to, &why)) return false;
    }
    EngineLog("INFO: Moved %s to %s", from.c_str(), to.c_str());
    return true;
}

}  // namespace

void SleepMilliseconds(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string WorkingPath(const std::string& inputPath, const std::string& computerName) {
    return fs::Format("%s-%s.tmp", inputPath.c_str(), computerName.c_str());
}

std::string ComputerName() {
    std::array<char, 260> name{};
    if (gethostname(name.data(), name.size() - 1) != 0) return {};
    return name.data();
}

std::string DeliveryPath(const std::string& finalPath, int useTempPath, const std::string& tempPath) {
    const std::string name = fs::FileNameOf(finalPath);
    if (useTempPath == 1) return fs::JoinPath(fs::JoinPath(fs::DirectoryOf(finalPath), "tmp"), name);
    return fs::JoinPath(tempPath, name);
}

bool DeliverWorkingFile(const std::string& workPath, const std::string& finalPath,
                        int useTempPath, const std::string& tempPath, std::string& errorText,
                        const SleepFunction& sleep) {
    if (useTempPath == 0) {
        if (MoveWithRetry(workPath, finalPath, sleep)) return true;
        errorText = fs::Format("Error moving file %s to %s", workPath.c_str(), finalPath.c_str());
        fs::DeleteFile(workPath);
        return false;
    }

    const std::string deliveryPath = DeliveryPath(finalPath, useTempPath, tempPath);
    EngineLog("INFO: Temporary filename %s", deliveryPath.c_str());
    fs::DeleteFile(deliveryPath);
    // A missing staging folder would fail every job; it is part of the delivery set-up.
    fs::CreateDirectories(fs::DirectoryOf(deliveryPath));
    std::string why;
    if (!fs::CopyFileReplace(workPath, deliveryPath, &why)) {
        EngineLog("WARNING: First attempt to copy %s to %s failed - %s", workPath.c_str(),
                  deliveryPath.c_str(), why.c_str());
        sleep(1000);
        if (!fs::CopyFileReplace(workPath, deliveryPath, &why)) {
            EngineLog("ERROR: Copying file %s to %s", workPath.c_str(), deliveryPath.c_str());
            errorText = fs::Format("Error copying file %s to %s", workPath.c_str(),
                                   deliveryPath.c_str());
            fs::DeleteFile(workPath);
            return false;
        }
    }
    EngineLog("INFO: Copied %s to %s", workPath.c_str(), deliveryPath.c_str());

    if (!MoveWithRetry(deliveryPath, finalPath, sleep)) {
        errorText = fs::Format("Error moving file %s to %s", deliveryPath.c_str(),
                               finalPath.c_str());
        fs::DeleteFile(deliveryPath);
        fs::DeleteFile(workPath);
        return false;
    }
    fs::DeleteFile(deliveryPath);
    return true;
}

}  // namespace vestrel
