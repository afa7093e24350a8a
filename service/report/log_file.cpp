#include "service/report/log_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "platform/append_line.h"
#include "platform/c_locale.h"
#include "platform/file_ops.h"
#include "platform/local_time.h"
#include "platform/program_dir.h"
#include "platform/unique_fd.h"
#include "service/config/settings.h"

namespace plexivar {
namespace {

// One lock for every writer of the process: a line is appended as a whole or not at all.
std::mutex& WriterMutex() {
    static std::mutex m;
    return m;
}

// Appends `text` to `path` (created when missing); failures drop the text silently.
void AppendToFile(const std::string& path, const std::string& text) {
    const std::string resolved = platform::ResolvePath(platform::ProgramDirectory(), path);
    std::lock_guard lock(WriterMutex());
    platform::AppendLine(resolved, text);
}

void CutTo(std::string& text, std::size_t limit) {
    if (text.size() > limit) text.resize(limit);
}

}  // namespace

void WriteLogV(const char* format, std::va_list args) {
    const ServiceSettings& settings = GlobalSettings().service;
    if (settings.Debug != 1 || settings.LogFile.empty()) return;
    std::string message = platform::FormatV(format, args);
    CutTo(message, kMaxLogText);
    const platform::LocalTime t = platform::Now();
    std::string line = platform::Format("[%.2d-%.2d-%.4d %.2d:%.2d:%.2d.%.3d] ", t.day, t.month,
                                        t.year, t.hour, t.minute, t.second, t.millisecond);
    line += message;
    // The whole line, its end included, stays within the limit too.
    CutTo(line, kMaxLogText - 2);
    line += "\r\n";
    AppendToFile(settings.LogFile, line);
}

void WriteLog(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    WriteLogV(format, args);
    va_end(args);
}

void WriteJobLog(const char* format, ...) {
    const ServiceSettings& settings = GlobalSettings().service;
    if (settings.Debug2 != 1 || settings.LogFile2.empty()) return;
    std::va_list args;
    va_start(args, format);
    std::string text = platform::FormatV(format, args);
    va_end(args);
    if (text.size() > kMaxLogText) {
        // Keep the caller's line end so that a cut line does not run into the next one.
        const bool crlf = text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
        CutTo(text, crlf ? kMaxLogText - 2 : kMaxLogText);
        if (crlf) text += "\r\n";
    }
    AppendToFile(settings.LogFile2, text);
}

}  // namespace plexivar
