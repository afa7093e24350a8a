// Clients that put plates into hot folders the way they do over a plant's network: slowly,
// in pieces, some under a working name renamed into place at the end, some holding a lock
// while they write. Each writer checks that its file was still in the hot folder when it
// finished writing: a service that took a file before that took it half-written.
#pragma once

#include <cstddef>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace plexivar::testing {

enum class WritePattern {
    Dribble,      // the final name at once, small pieces with short pauses
    WorkingName,  // "<name>.tmp", a long pause halfway, then renamed to the final name
    Locked,       // the final name under a write lock, with a long pause halfway
};

struct SlowFile {
    std::string folder;
    std::string name;
    const std::string* bytes = nullptr;
    WritePattern pattern = WritePattern::Dribble;
};

struct WriterTiming {
    int pieces = 12;
    int shortPauseMs = 150;  // between pieces; well below the service's stable time
    int longPauseMs = 1800;  // of the working-name and locked writers; above it
};

// Writes one file as its pattern says. False with `error` when a step failed or the file
// left the hot folder before it was complete.
bool WriteSlowly(const SlowFile& file, const WriterTiming& timing, std::mt19937& random,
                 std::string& error);

// Writes `files` on `threads` threads, each taking the next file when done with its last.
// Returns the errors (empty when every file was written whole).
std::vector<std::string> WriteAll(const std::vector<SlowFile>& files, int threads,
                                  const WriterTiming& timing);

}  // namespace plexivar::testing
