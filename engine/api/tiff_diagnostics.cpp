#include "engine/api/tiff_diagnostics.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>

#include "platform/c_locale.h"

namespace vestrel {
namespace {

TIFFErrorHandler g_previousWarning = nullptr;
TIFFErrorHandler g_previousError = nullptr;
bool g_installed = false;

void Report(bool isError, const char* module, const char* format, std::va_list args) {
    const std::string text = plexivar::platform::FormatV(format, args);
    const std::string line = FormatTiffDiagnostic(isError, module, text);
    // Standard error only: under systemd each line reaches the journal once.
    std::fputs(line.c_str(), stderr);
}

void WarningHandler(const char* module, const char* format, std::va_list args) {
    Report(false, module, format, args);
}

void ErrorHandler(const char* module, const char* format, std::va_list args) {
    Report(true, module, format, args);
}

}  // namespace

std::string FormatTiffDiagnostic(bool isError, const char* module, const std::string& text) {
    const std::string title = plexivar::platform::Format(isError ? "%s Error" : "%s Warning",
                                                         module != nullptr ? module : "TIFFLIB");
    return plexivar::platform::Format("%s: %s\n", title.c_str(), text.c_str());
}

void InstallTiffDiagnostics() {
    const TIFFErrorHandler warning = TIFFSetWarningHandler(WarningHandler);
    const TIFFErrorHandler error = TIFFSetErrorHandler(ErrorHandler);
    if (!g_installed) {
        g_previousWarning = warning;
        g_previousError = error;
        g_installed = true;
    }
}

void RemoveTiffDiagnostics() {
    if (!g_installed)
        return;
    TIFFSetWarningHandler(g_previousWarning);
    TIFFSetErrorHandler(g_previousError);
    g_installed = false;
}

}  // namespace vestrel
