#include "tests/soak/slow_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/unique_fd.h"

namespace plexivar::testing {
namespace {

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool Fail(std::string& error, const SlowFile& file, const char* what) {
    error = file.name + ": " + what + " (" + std::strerror(errno) + ")";
    return false;
}

// Whether `path` still names the file open on `fd`.
bool StillThere(int fd, const std::string& path) {
    struct stat open {}, named {};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_ino == named.st_ino && open.st_dev == named.st_dev;
}

}  // namespace

bool WriteSlowly(const SlowFile& file, const WriterTiming& timing, std::mt19937& random,
                 std::string& error) {
    const std::string finalPath = file.folder + "/" + file.name;
    const bool renamed = file.pattern == WritePattern::WorkingName;
    const std::string path = renamed ? finalPath + ".tmp" : finalPath;
    platform::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd) return Fail(error, file, "open");
    if (file.pattern == WritePattern::Locked) {
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (::fcntl(fd.get(), F_SETLK, &lock) != 0) return Fail(error, file, "lock");
    }
    const std::string& bytes = *file.bytes;
    const std::size_t piece = (bytes.size() + timing.pieces - 1) / timing.pieces;
    std::uniform_int_distribution<int> jitter(timing.shortPauseMs / 2, timing.shortPauseMs);
    for (int i = 0; i < timing.pieces; ++i) {
        const std::size_t start = std::min(bytes.size(), piece * i);
        const std::size_t size = std::min(piece, bytes.size() - start);
        if (::write(fd.get(), bytes.data() + start, size) != static_cast<ssize_t>(size))
            return Fail(error, file, "write");
        if (i + 1 == timing.pieces) break;
        Pause(file.pattern != WritePattern::Dribble && i == timing.pieces / 2 ? timing.longPauseMs
                                                                              : jitter(random));
    }
    if (!StillThere(fd.get(), path)) {
        error = file.name + ": taken from the hot folder before it was written whole";
        return false;
    }
    if (::close(fd.release()) != 0) return Fail(error, file, "close");
    if (renamed && ::rename(path.c_str(), finalPath.c_str()) != 0) return Fail(error, file, "rename");
    return true;
}

std::vector<std::string> WriteAll(const std::vector<SlowFile>& files, int threads,
                                  const WriterTiming& timing) {
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::vector<std::string> errors;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&, t] {
            std::mt19937 random(static_cast<unsigned>(t) + 1);
            for (std::size_t i; (i = next++) < files.size();) {
                std::string error;
                if (!WriteSlowly(files[i], timing, random, error)) {
                    std::lock_guard lock(mutex);
                    errors.push_back(error);
                }
            }
        });
    }
    for (std::thread& w : writers) w.join();
    return errors;
}

}  // namespace plexivar::testing
