// vestrel: runs the engine on one file, loading libvestrel.so through its C interface.
#include <iostream>
#include <string>
#include <vector>

#include "platform/program_dir.h"
#include "service/engine_link/engine_link.h"
#include "tools/vestrel/progress_bar.h"
#include "tools/vestrel/vestrel_options.h"

namespace {

using plexivar::EngineLink;
using plexivar::EngineResult;
using plexivar::tools::DotGainOptions;
using plexivar::tools::ParsedCommand;
using plexivar::tools::ResampleOptions;
using plexivar::tools::SimpleOptions;

// Exit status and message of an engine call.
int Report(const EngineResult& result, const std::string& what) {
    plexivar::tools::ShowProgress(0);
    if (!result.ok) {
        std::cerr << "vestrel: " << (result.errorText.empty() ? what : result.errorText) << "\n";
        return 1;
    }
    // A finishing step that failed after the file was written leaves a message with success.
    if (!result.errorText.empty()) std::cerr << "vestrel: warning: " << result.errorText << "\n";
    return 0;
}

int Resample(const EngineLink& engine, const ResampleOptions& o) {
    plexivar::ResampleRequest request;
    request.input = o.input;
    request.output = o.output;
    request.keepSize = o.keepSize;
    request.keepResolution = o.keepResolution;
    request.resolutionX = o.resolutionX;
    request.resolutionY = o.resolutionY;
    request.scaleX = o.scaleX;
    request.scaleY = o.scaleY;
    request.topMargin = o.topMargin;
    request.bottomMargin = o.bottomMargin;
    request.leftMargin = o.leftMargin;
    request.rightMargin = o.rightMargin;
    request.mergeBackground = !o.mergeBackground.empty();
    request.backgroundPath = o.mergeBackground;
    engine.SetParams(o.lines, o.xReference, o.yReference);
    return Report(engine.Resample(request, &plexivar::tools::ShowProgress), "resampling failed");
}

int Simple(const EngineLink& engine, const SimpleOptions& o) {
    // This operation reports no message of its own: the engine log says why it failed.
    return Report(engine.SimpleResample(o.input, o.output, o.scale),
                  "simple resampling of " + o.input +
                      " failed (see Plexivar.log in the current directory)");
}

int DotGain(const EngineLink& engine, const DotGainOptions& o) {
    return Report(engine.DotGain(o.input, o.separation, o.output, &plexivar::tools::ShowProgress),
                  "dot gain failed");
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
    EngineLink engine;
    const std::vector<std::string> messages = engine.Load(plexivar::platform::ExecutableDirectory());
    if (!engine.Loaded()) {
        std::cerr << "vestrel: " << messages.front() << " (" << engine.LoadDetail() << ")\n";
        return 1;
    }
    if (command.kind == ParsedCommand::Kind::Simple) return Simple(engine, command.simple);
    if (command.kind == ParsedCommand::Kind::DotGain) return DotGain(engine, command.dotGain);
    return Resample(engine, command.resample);
}
