// The program directory: the working directory at start-up, made absolute once. Default
// folders and the ini file live below it; later changes of the current directory do not
// move them.
#pragma once

#include <string>

namespace plexivar::platform {

// The process's current directory now ("" when it cannot be determined).
std::string CurrentDirectory();

// The folder of the running executable ("" when it cannot be determined). Libraries that
// ship beside the program are loaded from there.
std::string ExecutableDirectory();

// The program directory, fixed at the first call.
const std::string& ProgramDirectory();

}  // namespace plexivar::platform
