// The resampling engine as its callers see it: libvestrel.so loaded at run time, its
// exports bound by name, and typed calls that own the caller-side buffers the C interface
// asks for (the 260-byte output path, the error text). A call whose function is not bound
// fails with a message instead of calling through a null address.
//
// The engine keeps process-wide state: one thread at a time may call into it.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/shared_library.h"
#include "vestrel/vestrel.h"

namespace plexivar {

inline constexpr const char* kEngineLibraryName = "libvestrel.so";
inline constexpr const char* kEngineLoadError = "Error loading libvestrel.so";
inline constexpr const char* kEngineBindError = "Error finding function names in libvestrel.so";

// Arguments of one resampling call. Resolutions in dpi, scales in percent (100 unchanged),
// margins in millimetres.
struct ResampleRequest {
    std::string input;
    std::string output;  // final destination
    bool keepSize = false;
    bool keepResolution = false;
    double resolutionX = 0.0;
    double resolutionY = 0.0;
    double scaleX = 100.0;
    double scaleY = 100.0;
    double topMargin = 0.0;
    double bottomMargin = 0.0;
    double leftMargin = 0.0;
    double rightMargin = 0.0;
    bool mergeBackground = false;
    std::string backgroundPath;
};

struct EngineResult {
    bool ok = false;
    // The engine's message; may be set on success too (a finishing step such as the
    // margins failed after the plate was written).
    std::string errorText;
};

class EngineLink {
public:
    // Loads the engine from `folder` when it holds the library, else by the dynamic
    // linker's search, and binds ResamleTIFF and SetParams (each missing one gives one
    // "Error finding function names" message), then SimpleResamleTIFF and DotGainTIFF
    // without a message. Returns the messages for the operator; empty when both required
    // functions are bound. The library stays loaded until the object goes away.
    std::vector<std::string> Load(const std::string& folder);
    // When the engine cannot resample (the library was missing, or lacked a required
    // function), unloads what there is and loads again from the folder of the last Load,
    // so that an engine installed or repaired since is taken up without a restart. Returns
    // Load's messages; none when the engine could already resample.
    std::vector<std::string> Reload();

    bool Loaded() const { return library_.IsLoaded(); }
    // Why loading failed, from the dynamic loader ("" when loaded).
    const std::string& LoadDetail() const { return loadDetail_; }
    // Safe from any thread (the status endpoint asks while the spooler thread may reload).
    bool CanResample() const { return canResample_.load(std::memory_order_acquire); }

    // Band height and placement references for the following calls (ignored when unbound).
    void SetParams(int lineBuffers, int xReference, int yReference) const;
    EngineResult Resample(const ResampleRequest& request, ProgressCallback progress) const;
    // Row-dropping reduction; the engine gives no message of its own.
    EngineResult SimpleResample(const std::string& input, const std::string& output,
                                double scalePercent) const;
    EngineResult DotGain(const std::string& input, const std::string& separation,
                         const std::string& output, ProgressCallback progress) const;

private:
    platform::SharedLibrary library_;
    std::string folder_;
    std::string loadDetail_;
    decltype(&::SetParams) setParams_ = nullptr;
    decltype(&::ResamleTIFF) resample_ = nullptr;
    decltype(&::SimpleResamleTIFF) simpleResample_ = nullptr;
    decltype(&::DotGainTIFF) dotGain_ = nullptr;
    std::atomic<bool> canResample_{false};
};

}  // namespace plexivar
