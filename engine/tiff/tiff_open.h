// Opening and closing the engine's TIFF files with bounded warnings.
//
// A damaged file can make the TIFF library warn on every row it decodes (truncated Group 4
// data: two warnings per scanline, tens of megabytes a second), which under systemd floods
// the journal and stalls the service. A file opened here reports each distinct warning (same
// module and same message pattern) once, when it first occurs, and only counts its repeats;
// closing the file reports each count in one line ("... [repeated 2113 more times in
// in.tif]"). At most kMaxDistinctWarnings patterns are kept per file; further ones are only
// counted. Everything is reported through the process-wide warning handler (the engine's
// prints to standard error).
#pragma once

#include <tiffio.h>

#include <cstddef>
#include <string>

namespace vestrel {

inline constexpr std::size_t kMaxDistinctWarnings = 32;

// Opens `path` with the TIFF library mode `mode`. `options` (may be null) carries what the
// caller sets, such as an error handler of its own; its warning handler is replaced. Without
// options the file's last error is kept for LastTiffError. Null when the library refuses.
TIFF* OpenTiff(const std::string& path, const char* mode, TIFFOpenOptions* options = nullptr);

// Closes `tif` (null is allowed) and reports how often its warnings repeated. Files opened
// otherwise are just closed.
void CloseTiff(TIFF* tif);

// The last error the library reported for `tif` (a file from OpenTiff without options of
// the caller), "" when none or unknown. Called by the thread that uses the file.
std::string LastTiffError(TIFF* tif);

}  // namespace vestrel
