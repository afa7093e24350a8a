// vestrel: runs the engine on one file, loading libvestrel.so through its C interface.
#include <array>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "platform/file_ops.h"
#include "platform/program_dir.h"
#include "platform/shared_library.h"
#include "tools/vestrel/progress_bar.h"
#include "tools/vestrel/vestrel_options.h"
#include "vestrel/vestrel.h"

namespace {

using plexivar::tools::ParsedCommand;
using plexivar::tools::DotGainOptions;
using plexivar::tools::ResampleOptions;
using plexivar::tools::SimpleOptions;

// Room for the engine's longest message: two paths and some text.
constexpr std::size_t kErrorTextSize = 2 * 4096 + 64;

// The caller-owned buffers of a call that delivers through a working file: the output path
// (which the engine overwrites with the working file's name) and the error text.
struct CallBuffers {
    std::array<char, VESTREL_OUTPUT_PATH_SIZE> outputPath{};
    std::vector<char> errorText = std::vector<char>(kErrorTextSize, '\0');

    // False (after saying why) when the output path does not fit the engine's buffer.
    bool SetOutput(const std::string& output) {
        if (output.size() >= outputPath.size()) {
            std::cerr << "vestrel: output path longer than " << outputPath.size() - 1
                      << " characters\n";
            return false;
        }
        std::memcpy(outputPath.data(), output.c_str(), output.size() + 1);
        return true;
    }
};

// Exit status and message of an engine call that filled `errorText`.
int Report(int ok, const std::vector<char>& errorText, const char* what) {
    plexivar::tools::ShowProgress(0);
    if (!ok) {
        std::cerr << "vestrel: " << (errorText[0] ? errorText.data() : what) << "\n";
        return 1;
    }
    // A rewrite that failed after the file was written leaves a message with success.
    if (errorText[0]) std::cerr << "vestrel: warning: " << errorText.data() << "\n";
    return 0;
}

int Resample(const plexivar::platform::SharedLibrary& engine, const ResampleOptions& o) {
    decltype(&SetParams) setParams = nullptr;
    decltype(&ResamleTIFF) resample = nullptr;
    if (!engine.Bind("SetParams", setParams) || !engine.Bind("ResamleTIFF", resample)) {
        std::cerr << "vestrel: Error finding function names in libvestrel.so\n";
        return 1;
    }
    CallBuffers buffers;
    if (!buffers.SetOutput(o.output)) return 2;

    setParams(o.lines, o.xReference, o.yReference);
    const int ok = resample(o.input.c_str(), buffers.outputPath.data(), o.keepSize ? 1 : 0,
                            o.keepResolution ? 1 : 0, o.resolutionX, o.resolutionY, o.scaleX,
                            o.scaleY, o.topMargin, o.bottomMargin, o.leftMargin, o.rightMargin,
                            buffers.errorText.data(), &plexivar::tools::ShowProgress,
                            o.mergeBackground.empty() ? 0 : 1, o.mergeBackground.c_str());
    return Report(ok, buffers.errorText, "resampling failed");
}

int Simple(const plexivar::platform::SharedLibrary& engine, const SimpleOptions& o) {
    decltype(&SimpleResamleTIFF) simple = nullptr;
    if (!engine.Bind("SimpleResamleTIFF", simple)) {
        std::cerr << "vestrel: Error finding function names in libvestrel.so\n";
        return 1;
    }
    // This operation reports no message of its own: the engine log says why it failed.
    if (!simple(o.input.c_str(), o.output.c_str(), 0, 0, o.scale)) {
        std::cerr << "vestrel: simple resampling of " << o.input
                  << " failed (see Plexivar.log in the current directory)\n";
        return 1;
    }
    return 0;
}

int DotGain(const plexivar::platform::SharedLibrary& engine, const DotGainOptions& o) {
    decltype(&DotGainTIFF) dotGain = nullptr;
    if (!engine.Bind("DotGainTIFF", dotGain)) {
        std::cerr << "vestrel: Error finding function names in libvestrel.so\n";
        return 1;
    }
    CallBuffers buffers;
    if (!buffers.SetOutput(o.output)) return 2;
    const int ok = dotGain(o.input.c_str(), o.separation.c_str(), buffers.outputPath.data(),
                           buffers.errorText.data(), &plexivar::tools::ShowProgress);
    return Report(ok, buffers.errorText, "dot gain failed");
}

}  // namespace

int main(int argc, char** argv) {
    const ParsedCommand command =
        plexivar::tools::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (command.kind) {
        case ParsedCommand::Kind::Help:
            std::cout << plexivar::tools::VestrelUsage();
            return 0;
        case ParsedCommand::Kind::Error:
            std::cerr << "vestrel: " << command.error << "\n" << plexivar::tools::VestrelUsage();
            return 2;
        case ParsedCommand::Kind::Resample:
        case ParsedCommand::Kind::Simple:
        case ParsedCommand::Kind::DotGain:
            break;
    }
    // The engine ships beside this program; a bare name falls back to the library path.
    plexivar::platform::SharedLibrary engine;
    const std::string beside =
        plexivar::platform::JoinPath(plexivar::platform::ExecutableDirectory(), "libvestrel.so");
    std::string why;
    if (!(plexivar::platform::FileExists(beside) && engine.Load(beside, &why)) &&
        !engine.Load("libvestrel.so", &why)) {
        std::cerr << "vestrel: Error loading libvestrel.so (" << why << ")\n";
        return 1;
    }
    if (command.kind == ParsedCommand::Kind::Simple) return Simple(engine, command.simple);
    if (command.kind == ParsedCommand::Kind::DotGain) return DotGain(engine, command.dotGain);
    return Resample(engine, command.resample);
}
