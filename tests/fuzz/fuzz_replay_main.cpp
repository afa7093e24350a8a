// fuzz_replay TARGET [--limit SECONDS] [--worst N] [--keep FOLDER] INPUT...
//
// Runs inputs (files, or folders of them such as a grown corpus) through a fuzz target, each
// in a child process of its own with a time limit, and reports what the worst of them cost:
// how many crashed (ended by a signal), how many hung (killed at the limit), and the slowest
// and the most memory-hungry inputs. This is how the engine's crash isolation is measured:
// an input that crashes or hangs here would do the same to the service, which runs the
// engine in its own process. --keep writes the plates of the N worst inputs (their parameter
// bytes left off, each plate once) to FOLDER as <target>-<rank>.tif.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/fuzz/fuzz_targets.h"

namespace {

namespace fs = std::filesystem;
using plexivar::fuzz::FuzzTarget;

struct Run {
    fs::path input;
    double seconds = 0;
    long peakKiB = 0;
    int signal = 0;  // the signal that ended it; SIGKILL at the limit is a hang
    bool hung = false;
};

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Runs one input in a child; the parent keeps the time and the child's peak memory.
Run RunIsolated(const FuzzTarget& target, const fs::path& input, double limitSeconds) {
    Run run{input};
    const std::string bytes = Bytes(input);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        target.run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        std::_Exit(0);
    }
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(child, &status, WNOHANG, &usage);
        if (done == child) break;
        run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (run.seconds > limitSeconds && !run.hung) {
            run.hung = true;
            ::kill(child, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKiB = usage.ru_maxrss;
    if (WIFSIGNALED(status) && !run.hung) run.signal = WTERMSIG(status);
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) run.signal = -WEXITSTATUS(status);
    return run;
}

void Print(const char* title, const std::vector<Run>& runs, long baseKiB) {
    std::printf("  %s:\n", title);
    for (const Run& r : runs)
        std::printf("    %8.3f s %8ld KiB  %s\n", r.seconds, std::max(0L, r.peakKiB - baseKiB),
                    r.input.filename().c_str());
}

int Usage() {
    std::fprintf(stderr, "usage: fuzz_replay TARGET [--limit SECONDS] [--worst N] [--keep FOLDER] INPUT...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const FuzzTarget* target = plexivar::fuzz::FindFuzzTarget(argv[1]);
    if (target == nullptr) return Usage();
    double limit = 60;
    std::size_t worst = 5;
    fs::path keep;
    std::vector<fs::path> inputs;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--limit" && i + 1 < argc) limit = std::atof(argv[++i]);
        else if (arg == "--worst" && i + 1 < argc) worst = static_cast<std::size_t>(std::atoi(argv[++i]));
        else if (arg == "--keep" && i + 1 < argc) keep = argv[++i];
        else if (fs::is_directory(arg))
            for (const auto& e : fs::directory_iterator(arg)) inputs.push_back(e.path());
        else inputs.push_back(arg);
    }
    std::sort(inputs.begin(), inputs.end());
    plexivar::fuzz::PrepareFuzzing();
    // The cost of a child that does nothing: what every input's peak is measured against.
    const std::string empty = (fs::temp_directory_path() / "fuzz-replay-empty").string();
    std::ofstream(empty).close();
    const long baseKiB = RunIsolated(*target, empty, limit).peakKiB;
    fs::remove(empty);

    std::vector<Run> runs;
    int crashed = 0, hung = 0;
    for (const fs::path& input : inputs) {
        runs.push_back(RunIsolated(*target, input, limit));
        const Run& r = runs.back();
        if (r.signal != 0) {
            ++crashed;
            std::printf("CRASHED (%s %d): %s\n", r.signal > 0 ? "signal" : "exit status",
                        r.signal > 0 ? r.signal : -r.signal, input.c_str());
        }
        if (r.hung) {
            ++hung;
            std::printf("HUNG (killed after %.0f s): %s\n", limit, input.c_str());
        }
    }
    double total = 0;
    for (const Run& r : runs) total += r.seconds;
    std::printf("%s: %zu inputs in %.1f s, %d crashed, %d hung (limit %.0f s)\n", target->name,
                runs.size(), total, crashed, hung, limit);
    worst = std::min(worst, runs.size());
    std::vector<Run> slowest = runs;
    std::partial_sort(slowest.begin(), slowest.begin() + static_cast<long>(worst), slowest.end(),
                      [](const Run& a, const Run& b) { return a.seconds > b.seconds; });
    slowest.resize(worst);
    std::vector<Run> largest = runs;
    std::partial_sort(largest.begin(), largest.begin() + static_cast<long>(worst), largest.end(),
                      [](const Run& a, const Run& b) { return a.peakKiB > b.peakKiB; });
    largest.resize(worst);
    Print("slowest (time, peak memory above an empty run)", slowest, baseKiB);
    Print("largest", largest, baseKiB);
    if (!keep.empty()) {
        fs::create_directories(keep);
        int rank = 0;
        // Inputs that differ only in their parameter bytes are one plate: kept once.
        std::vector<std::string> kept;
        for (const std::vector<Run>* list : {&slowest, &largest}) {
            for (const Run& r : *list) {
                const std::string bytes = Bytes(r.input);
                if (bytes.size() <= target->parameterBytes) continue;
                const std::string plate = bytes.substr(target->parameterBytes);
                if (std::find(kept.begin(), kept.end(), plate) != kept.end()) continue;
                kept.push_back(plate);
                std::ofstream(keep / (std::string(target->name) + "-" + std::to_string(++rank) + ".tif"),
                              std::ios::binary)
                    << plate;
            }
        }
    }
    return crashed + hung == 0 ? 0 : 1;
}
