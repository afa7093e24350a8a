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

int Resample(const plexivar::platform::SharedLibrary& engine, const ResampleOptions& o) {
    decltype(&SetParams) setParams = nullptr;
    decltype(&ResamleTIFF) resample = nullptr;
    if (!engine.Bind("SetParams", setParams) || !engine.Bind("ResamleTIFF", resample)) {
        std::cerr << "vestrel: Error finding function names in libvestrel.so\n";
        return 1;
    }
    std::array<char, VESTREL_OUTPUT_PATH_SIZE> outputPath{};
    if (o.output.size() >= outputPath.size()) {
        std::cerr << "vestrel: output path longer than " << outputPath.size() - 1
                  << " characters\n";
        return 2;
    }
    std::memcpy(outputPath.data(), o.output.c_str(), o.output.size() + 1);
    std::vector<char> errorText(kErrorTextSize, '\0');

    setParams(o.lines, o.xReference, o.yReference);
    const int ok = resample(o.input.c_str(), outputPath.data(), o.keepSize ? 1 : 0,
                            o.keepResolution ? 1 : 0, o.resolutionX, o.resolutionY, o.scaleX,
                            o.scaleY, o.topMargin, o.bottomMargin, o.leftMargin, o.rightMargin,
                            errorText.data(), &plexivar::tools::ShowProgress,
                            o.mergeBackground.empty() ? 0 : 1, o.mergeBackground.c_str());
    plexivar::tools::ShowProgress(0);
    if (!ok) {
        std::cerr << "vestrel: " << (errorText[0] ? errorText.data() : "resampling failed")
                  << "\n";
        return 1;
    }
    if (errorText[0]) std::cerr << "vestrel: warning: " << errorText.data() << "\n";
    return 0;
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
    std::array<char, VESTREL_OUTPUT_PATH_SIZE> outputPath{};
    if (o.output.size() >= outputPath.size()) {
        std::cerr << "vestrel: output path longer than " << outputPath.size() - 1
                  << " characters\n";
        return 2;
    }
    std::memcpy(outputPath.data(), o.output.c_str(), o.output.size() + 1);
    std::vector<char> errorText(kErrorTextSize, '\0');
    const int ok = dotGain(o.input.c_str(), o.separation.c_str(), outputPath.data(),
                           errorText.data(), &plexivar::tools::ShowProgress);
    plexivar::tools::ShowProgress(0);
    if (!ok) {
        std::cerr << "vestrel: " << (errorText[0] ? errorText.data() : "dot gain failed") << "\n";
        return 1;
    }
    return 0;
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
