// An operator view that remembers what the service showed, for tests. Safe to use from the
// spooler thread while a test thread reads it.
#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "service/report/operator_view.h"

namespace plexivar::testing {

class RecordingView : public OperatorView {
public:
    void ShowJobRow(const StatusListUpdate& update) override {
        std::lock_guard lock(mutex_);
        updates_.push_back(update);
    }
    void ShowErrorLine(const std::string& text) override { Add(errors_, text); }
    void ShowStatusText(const std::string& text) override { Add(statusTexts_, text); }
    void ShowProgress(int percent, const std::string& caption) override {
        std::lock_guard lock(mutex_);
        lastPercent_ = percent;
        if (caption.empty()) maxEnginePercent_ = std::max(maxEnginePercent_, percent);
        if (captions_.empty() || captions_.back() != caption) captions_.push_back(caption);
    }
    void ShowSpoolerImage(int index, int image) override {
        Add(images_, std::to_string(index) + ":" + std::to_string(image));
    }
    void ShowRunState(bool running) override { Add(runStates_, running ? "running" : "stopped"); }
    void ShowMessage(const std::string& text) override { Add(messages_, text); }

    std::vector<StatusListUpdate> updates() const { return Get(updates_); }
    std::vector<std::string> errors() const { return Get(errors_); }
    std::vector<std::string> statusTexts() const { return Get(statusTexts_); }
    // Progress captions, consecutive repeats folded.
    std::vector<std::string> captions() const { return Get(captions_); }
    std::vector<std::string> images() const { return Get(images_); }
    std::vector<std::string> runStates() const { return Get(runStates_); }
    std::vector<std::string> messages() const { return Get(messages_); }
    int lastPercent() const {
        std::lock_guard lock(mutex_);
        return lastPercent_;
    }
    // The highest percentage shown without a caption (the engine's progress).
    int maxEnginePercent() const {
        std::lock_guard lock(mutex_);
        return maxEnginePercent_;
    }
    // Whether a status text containing `part` was shown.
    bool SawStatus(const std::string& part) const {
        for (const std::string& t : statusTexts())
            if (t.find(part) != std::string::npos) return true;
        return false;
    }

private:
    void Add(std::vector<std::string>& list, const std::string& text) {
        std::lock_guard lock(mutex_);
        list.push_back(text);
    }
    template <class T>
    std::vector<T> Get(const std::vector<T>& list) const {
        std::lock_guard lock(mutex_);
        return list;
    }

    mutable std::mutex mutex_;
    std::vector<StatusListUpdate> updates_;
    std::vector<std::string> errors_, statusTexts_, captions_, images_, runStates_, messages_;
    int lastPercent_ = 0;
    int maxEnginePercent_ = 0;
};

}  // namespace plexivar::testing
