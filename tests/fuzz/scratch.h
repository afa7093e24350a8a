// The fuzzing process's scratch folder: the engine works on files, so each input is written
// to a file there first.
#pragma once

#include <string>
#include <string_view>

namespace plexivar::fuzz {

// Created on first use (in /dev/shm when it can be, so that the many small writes stay in
// memory) and removed when the process exits normally.
const std::string& ScratchFolder();

// Writes `bytes` to `name` in the scratch folder, replacing it, and returns its path.
std::string WriteScratchFile(const std::string& name, std::string_view bytes);

}  // namespace plexivar::fuzz
