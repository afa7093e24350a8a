// plexivar without arguments: the operator window.
#pragma once

#include <iosfwd>

namespace plexivar {

// The file name of the loadable module that holds the window; only the window path loads
// it, so the other commands (and --headless) never load Qt.
inline constexpr const char* kWindowModuleName = "libplexivar_window.so";
// The module's entry: runs the window in the current directory until it closes and
// returns the exit status.
inline constexpr const char* kWindowEntryName = "plexivar_run_window";
using WindowEntry = int (*)(int argc, char** argv);

// Opens the operator window. Returns 2 (with the reason on `err`) when there is no
// display to show it on or the window module cannot be loaded.
int RunWindow(std::ostream& err);

}  // namespace plexivar
