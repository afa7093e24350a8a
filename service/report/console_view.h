// The operator view of the headless mode: what the window would show, as lines of text.
// Status line changes, the error line and job rows go to standard output; message boxes to
// standard error. When the output is read by the journal, each line starts with its
// priority ("<3>" errors, "<4>" warnings, "<6>" the rest).
//
// The periodic texts of the poll wait ("Searching <folder>..") and the progress bar are
// left out unless `verbose`: a plant's journal would otherwise get a line every second. For
// the same reason an error line that repeats (a folder that stays unreachable is reported
// at every reconnect pass) is printed again only after kErrorRepeatInterval.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

#include "service/report/operator_view.h"

namespace plexivar {

class ConsoleView : public OperatorView {
public:
    ConsoleView(std::FILE* out, std::FILE* err, bool journalPrefixes, bool verbose);

    void ShowJobRow(const StatusListUpdate& update) override;
    void ShowErrorLine(const std::string& text) override;
    void ShowStatusText(const std::string& text) override;
    void ShowProgress(int percent, const std::string& caption) override;
    void ShowSpoolerImage(int index, int image) override;
    void ShowRunState(bool running) override;
    void ShowMessage(const std::string& text) override;

    // The text of a job row as printed (without the priority prefix).
    static std::string JobLine(const StatusRow& row);

    static constexpr std::chrono::minutes kErrorRepeatInterval{10};

private:
    enum Priority { kError = 3, kWarning = 4, kInfo = 6 };
    void Print(std::FILE* stream, Priority priority, const std::string& text);

    std::FILE* out_;
    std::FILE* err_;
    bool journalPrefixes_;
    bool verbose_;
    std::mutex mutex_;
    std::string lastStatus_;
    std::string lastError_;
    std::chrono::steady_clock::time_point lastErrorTime_{};
    int lastPercent_ = -10;  // no ten shown yet
};

}  // namespace plexivar
