#include "engine/tiff/tiff_open.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace vestrel {
namespace {

// The warnings of one open file. Its handlers run on the thread that uses the file (one at a
// time), so only the registry below needs a lock.
struct FileDiagnostics {
    struct Warning {
        std::string module;
        std::string pattern;  // the library's format string: the identity of a warning
        std::string first;    // its first text
        unsigned long repeats = 0;
    };
    std::string name;
    std::vector<Warning> warnings;
    unsigned long otherWarnings = 0;  // beyond kMaxDistinctWarnings patterns
    std::string lastError;
};

std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<TIFF*, std::unique_ptr<FileDiagnostics>>& Registry() {
    static std::map<TIFF*, std::unique_ptr<FileDiagnostics>> files;
    return files;
}

std::string FormatText(const char* format, std::va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format != nullptr ? format : "", args);
    return text;
}

// Returns 1 (handled: the process-wide handler is not called) for a repeat, 0 for the first
// occurrence of a warning, which the process-wide handler then reports.
int OnWarning(TIFF*, void* data, const char* module, const char* format, std::va_list args) {
    auto* file = static_cast<FileDiagnostics*>(data);
    const std::string moduleName = module != nullptr ? module : "";
    const std::string pattern = format != nullptr ? format : "";
    for (FileDiagnostics::Warning& w : file->warnings) {
        if (w.module == moduleName && w.pattern == pattern) {
            ++w.repeats;
            return 1;
        }
    }
    if (file->warnings.size() >= kMaxDistinctWarnings) {
        ++file->otherWarnings;
        return 1;
    }
    file->warnings.push_back({moduleName, pattern, FormatText(format, args), 0});
    return 0;
}

// Keeps the text and lets the process-wide handler report it.
int OnError(TIFF*, void* data, const char* module, const char* format, std::va_list args) {
    auto* file = static_cast<FileDiagnostics*>(data);
    const std::string text = FormatText(format, args);
    file->lastError = module != nullptr && *module != '\0' ? std::string(module) + ": " + text : text;
    return 0;
}

void ReportRepeats(const FileDiagnostics& file) {
    for (const FileDiagnostics::Warning& w : file.warnings) {
        if (w.repeats > 0)
            TIFFWarning(w.module.empty() ? nullptr : w.module.c_str(),
                        "%s [repeated %lu more times in %s]", w.first.c_str(), w.repeats,
                        file.name.c_str());
    }
    if (file.otherWarnings > 0)
        TIFFWarning(nullptr, "%lu further warnings of other kinds in %s", file.otherWarnings,
                    file.name.c_str());
}

struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

TIFF* OpenTiff(const std::string& path, const char* mode, TIFFOpenOptions* options) {
    auto file = std::make_unique<FileDiagnostics>();
    file->name = path;
    std::unique_ptr<TIFFOpenOptions, OptionsFree> own;
    if (options == nullptr) {
        own.reset(TIFFOpenOptionsAlloc());
        if (!own)
            return nullptr;
        options = own.get();
        TIFFOpenOptionsSetErrorHandlerExtR(options, &OnError, file.get());
    }
    TIFFOpenOptionsSetWarningHandlerExtR(options, &OnWarning, file.get());
    TIFF* tif = TIFFOpenExt(path.c_str(), mode, options);
    if (tif == nullptr) {
        ReportRepeats(*file);
        return nullptr;
    }
    const std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry()[tif] = std::move(file);
    return tif;
}

void CloseTiff(TIFF* tif) {
    if (tif == nullptr)
        return;
    // Taken out of the registry before the handle is freed (a new file may get its address);
    // kept alive while closing, as writing out what is pending may warn too.
    std::unique_ptr<FileDiagnostics> file;
    {
        const std::lock_guard<std::mutex> lock(RegistryMutex());
        const auto it = Registry().find(tif);
        if (it != Registry().end()) {
            file = std::move(it->second);
            Registry().erase(it);
        }
    }
    TIFFClose(tif);
    if (file)
        ReportRepeats(*file);
}

std::string LastTiffError(TIFF* tif) {
    const std::lock_guard<std::mutex> lock(RegistryMutex());
    const auto it = Registry().find(tif);
    return it != Registry().end() ? it->second->lastError : std::string();
}

}  // namespace vestrel
