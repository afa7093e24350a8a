#include "service/engine_link/engine_link.h"

#include <array>
#include <cstring>

#include "platform/file_ops.h"

namespace plexivar {
namespace {

// The caller-owned buffers of one call: the output path, which the engine overwrites with
// its working file's name, and the error text. Both are sized as the engine's header says.
struct CallBuffers {
    std::array<char, VESTREL_OUTPUT_PATH_SIZE> outputPath{};
    std::array<char, VESTREL_ERROR_TEXT_SIZE> errorText{};

    // False when `output` does not fit the engine's buffer (the call must then not be made).
    bool SetOutput(const std::string& output) {
        if (output.size() >= outputPath.size()) return false;
        std::memcpy(outputPath.data(), output.c_str(), output.size() + 1);
        return true;
    }
    EngineResult Result(int ok) {
        errorText.back() = '\0';
        return EngineResult{ok != 0, std::string(errorText.data())};
    }
};

EngineResult NotBound(const char* function) {
    return EngineResult{false, std::string(kEngineBindError) + " (" + function + ")"};
}

EngineResult OutputTooLong(const std::string& output) {
    return EngineResult{false, "Output path longer than " +
                                   std::to_string(VESTREL_OUTPUT_PATH_SIZE - 1) +
                                   " characters: " + output};
}

}  // namespace

std::vector<std::string> EngineLink::Load(const std::string& folder) {
    folder_ = folder;
    std::vector<std::string> messages;
    const std::string beside = platform::JoinPath(folder, kEngineLibraryName);
    const bool loaded = (!folder.empty() && platform::FileExists(beside) &&
                         library_.Load(beside, &loadDetail_)) ||
                        library_.Load(kEngineLibraryName, &loadDetail_);
    if (!loaded) {
        messages.emplace_back(kEngineLoadError);
        return messages;
    }
    loadDetail_.clear();
    if (!library_.Bind("ResamleTIFF", resample_)) messages.emplace_back(kEngineBindError);
    if (!library_.Bind("SetParams", setParams_)) messages.emplace_back(kEngineBindError);
    library_.Bind("SimpleResamleTIFF", simpleResample_);
    library_.Bind("DotGainTIFF", dotGain_);
    canResample_.store(resample_ != nullptr && setParams_ != nullptr, std::memory_order_release);
    return messages;
}

std::vector<std::string> EngineLink::Reload() {
    if (CanResample()) return {};
    canResample_.store(false, std::memory_order_release);
    // The old library goes first: a library still loaded under the same path would be
    // handed out again instead of the file that is there now.
    setParams_ = nullptr;
    resample_ = nullptr;
    simpleResample_ = nullptr;
    dotGain_ = nullptr;
    library_ = platform::SharedLibrary();
    return Load(folder_);
}

void EngineLink::SetParams(int lineBuffers, int xReference, int yReference) const {
    if (setParams_) setParams_(lineBuffers, xReference, yReference);
}

EngineResult EngineLink::Resample(const ResampleRequest& r, ProgressCallback progress) const {
    if (!CanResample()) return NotBound(resample_ ? "SetParams" : "ResamleTIFF");
    CallBuffers buffers;
    if (!buffers.SetOutput(r.output)) return OutputTooLong(r.output);
    const int ok = resample_(r.input.c_str(), buffers.outputPath.data(), r.keepSize ? 1 : 0,
                             r.keepResolution ? 1 : 0, r.resolutionX, r.resolutionY, r.scaleX,
                             r.scaleY, r.topMargin, r.bottomMargin, r.leftMargin, r.rightMargin,
                             buffers.errorText.data(), progress, r.mergeBackground ? 1 : 0,
                             r.backgroundPath.c_str());
    return buffers.Result(ok);
}

EngineResult EngineLink::SimpleResample(const std::string& input, const std::string& output,
                                        double scalePercent) const {
    if (!simpleResample_) return NotBound("SimpleResamleTIFF");
    return EngineResult{simpleResample_(input.c_str(), output.c_str(), 0, 0, scalePercent) != 0,
                        {}};
}

EngineResult EngineLink::DotGain(const std::string& input, const std::string& separation,
                                 const std::string& output, ProgressCallback progress) const {
    if (!dotGain_) return NotBound("DotGainTIFF");
    CallBuffers buffers;
    if (!buffers.SetOutput(output)) return OutputTooLong(output);
    const int ok = dotGain_(input.c_str(), separation.c_str(), buffers.outputPath.data(),
                            buffers.errorText.data(), progress);
    return buffers.Result(ok);
}

}  // namespace plexivar
