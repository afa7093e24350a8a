#include "ui/dropped_files.h"

#include "platform/file_ops.h"

namespace plexivar {

std::vector<std::string> CopyDroppedFiles(const std::vector<std::string>& paths,
                                          const std::string& folder) {
    std::vector<std::string> problems;
    for (const std::string& path : paths) {
        if (platform::DirectoryExists(path)) {
            problems.push_back("Not copied (a folder): " + path);
            continue;
        }
        if (!platform::FileExists(path)) {
            problems.push_back("Not copied (no such file): " + path);
            continue;
        }
        std::string error;
        const std::string target = platform::JoinPath(folder, platform::FileNameOf(path));
        if (!platform::CopyFileReplace(path, target, &error))
            problems.push_back("Unable to copy " + path + " to " + folder + " - " + error);
    }
    return problems;
}

}  // namespace plexivar
