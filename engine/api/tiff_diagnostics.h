// The TIFF library's warnings and errors go to standard error (once: under systemd each line
// reaches the journal once) as "<module> Warning: <text>" / "<module> Error: <text>", never
// to the engine log. Warnings of the engine's own files are bounded (engine/tiff/tiff_open.h).
#pragma once

#include <string>

namespace vestrel {

// Installs the warning and error handlers of the TIFF library (process-wide).
void InstallTiffDiagnostics();
// Puts back the handlers that were in place before InstallTiffDiagnostics. The TIFF library
// is shared with the program: when the engine is unloaded, handlers pointing into it would
// be called after their code is gone.
void RemoveTiffDiagnostics();

// The line printed for one diagnostic: "%s Warning: %s\n" or "%s Error: %s\n", the module
// being "TIFFLIB" when the library names none.
std::string FormatTiffDiagnostic(bool isError, const char* module, const std::string& text);

}  // namespace vestrel
