// Writing the seed corpus of every fuzz target (see seed_corpus.cpp for what it holds).
#pragma once

#include <string>

namespace plexivar::fuzz {

// Writes the seeds into `folder`/<target>/; `sourceDir` is the repository (for the example
// ini file and the kept inputs), `fixturesDir` the shared samples ("" or absent: none).
// Returns the number of seeds written.
int WriteSeedCorpus(const std::string& folder, const std::string& sourceDir,
                    const std::string& fixturesDir);

}  // namespace plexivar::fuzz
