#include "app/window_command.h"

#include <cstdlib>
#include <ostream>
#include <string>

#include "platform/file_ops.h"
#include "platform/program_dir.h"
#include "platform/shared_library.h"

namespace plexivar {
namespace {

bool Set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// Beside the program (the build tree), else on its run path (the installed module).
bool LoadModule(platform::SharedLibrary& module, std::string& error) {
    const std::string beside = platform::JoinPath(platform::ExecutableDirectory(), kWindowModuleName);
    if (platform::FileExists(beside)) return module.Load(beside, &error);
    return module.Load(kWindowModuleName, &error);
}

}  // namespace

int RunWindow(std::ostream& err) {
    if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM")) {
        err << "plexivar: no display to open the operator window on (DISPLAY is not set); "
               "run the service with --headless (see --help)\n";
        return 2;
    }
    platform::SharedLibrary module;
    std::string error;
    WindowEntry entry = nullptr;
    if (!LoadModule(module, error) || !module.Bind(kWindowEntryName, entry)) {
        err << "plexivar: the operator window cannot be loaded ("
            << (error.empty() ? std::string(kWindowEntryName) + " not found" : error)
            << "); run the service with --headless (see --help)\n";
        return 2;
    }
    std::string program = "plexivar";
    char* argv[] = {program.data(), nullptr};
    return entry(1, argv);
}

}  // namespace plexivar
