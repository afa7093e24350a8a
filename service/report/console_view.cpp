#include "service/report/console_view.h"

namespace plexivar {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

ConsoleView::ConsoleView(std::FILE* out, std::FILE* err, bool journalPrefixes, bool verbose)
    : out_(out), err_(err), journalPrefixes_(journalPrefixes), verbose_(verbose) {}

void ConsoleView::Print(std::FILE* stream, Priority priority, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (journalPrefixes_) std::fprintf(stream, "<%d>", static_cast<int>(priority));
    std::fprintf(stream, "%s\n", text.c_str());
    std::fflush(stream);
}

std::string ConsoleView::JobLine(const StatusRow& row) {
    std::string line = row.time + "  " + row.status + "  " + row.file;
    if (!row.color.empty()) line += "  " + row.color;
    if (row.seconds != " ") line += "  " + row.seconds + " s";
    if (!row.comment.empty()) line += "  " + row.comment;
    return line;
}

void ConsoleView::ShowJobRow(const StatusListUpdate& update) {
    const StatusRow& row = update.row;
    const Priority priority = row.status.find("Error") != std::string::npos ? kError
                              : row.comment.find("warning") != std::string::npos ? kWarning
                                                                                  : kInfo;
    Print(out_, priority, "Job: " + JobLine(row));
}

void ConsoleView::ShowErrorLine(const std::string& text) {
    if (text.empty()) return;
    {
        std::lock_guard lock(mutex_);
        const auto now = std::chrono::steady_clock::now();
        if (text == lastError_ && now - lastErrorTime_ < kErrorRepeatInterval) return;
        lastError_ = text;
        lastErrorTime_ = now;
    }
    Print(out_, kError, "Error: " + text);
}

void ConsoleView::ShowStatusText(const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        if (text.empty() || text == lastStatus_) return;
        if (!verbose_ && StartsWith(text, "Searching ")) return;
        lastStatus_ = text;
    }
    Print(out_, kInfo, "Status: " + text);
}

void ConsoleView::ShowProgress(int percent, const std::string& caption) {
    if (!verbose_) return;
    {
        std::lock_guard lock(mutex_);
        // Whole tens only, so that a job prints ten lines at most.
        if (percent / 10 == lastPercent_ / 10 && caption.empty()) return;
        lastPercent_ = percent;
    }
    if (caption.empty()) Print(out_, kInfo, "Progress: " + std::to_string(percent) + "%");
}

void ConsoleView::ShowSpoolerImage(int, int) {}

void ConsoleView::ShowRunState(bool) {}

void ConsoleView::ShowMessage(const std::string& text) { Print(err_, kError, text); }

}  // namespace plexivar
