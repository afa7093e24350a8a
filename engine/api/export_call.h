// The one frame the exports run their pipelines in: nothing thrown leaves the library, the
// caller's errorText is cleared first and receives the run's message at the end (cut to
// VESTREL_ERROR_TEXT_SIZE bytes, terminator included), and a failed call clears the caller's
// progress indicator.
#pragma once

#include <cstddef>
#include <exception>
#include <string>

#include "engine/api/engine_setup.h"
#include "vestrel/vestrel.h"

namespace vestrel {

// Copies `text` into a caller's C buffer of `size` bytes, cut to fit and terminated.
void CopyToBuffer(const std::string& text, char* buffer, std::size_t size) noexcept;

// Sets `message` to "Unexpected error: <what>" ("Unexpected error" without a text); never
// throws (a message that cannot be made is left empty).
void SetUnexpectedError(std::string& message, const char* what) noexcept;

// Runs `body(message)` and returns its result (1 success, 0 failure, the reason left in
// `message`). An exception becomes result 0 with "Unexpected error: <what>".
template <typename Body>
int RunGuarded(Body&& body, std::string& message) noexcept {
    try {
        return body(message);
    } catch (const std::exception& e) {
        SetUnexpectedError(message, e.what());
    } catch (...) {
        SetUnexpectedError(message, nullptr);
    }
    return 0;
}

// The frame of ResamleTIFF and DotGainTIFF: stores `progress` for this and later calls,
// runs `body` guarded, reports progress 0 when it failed and hands its message to the caller.
template <typename Body>
int RunExport(char* errorText, ProgressCallback progress, Body&& body) noexcept {
    CopyToBuffer(std::string(), errorText, VESTREL_ERROR_TEXT_SIZE);
    ProcessSetup().progress = progress;
    std::string message;
    const int result = RunGuarded(body, message);
    if (result == 0)
        ReportProgress(0);
    CopyToBuffer(message, errorText, VESTREL_ERROR_TEXT_SIZE);
    return result;
}

}  // namespace vestrel
