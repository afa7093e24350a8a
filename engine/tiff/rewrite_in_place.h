// Rewriting a TIFF file in place without ever losing it: the file is moved aside to
// "<path>.temp" (a rename, so no second copy of a big plate is made), read from there while
// the new content is written under the original name, and the backup is deleted only once
// the new file is complete. Every failure moves the backup back over the original name, so
// the caller always ends with either the rewritten file or the file it had.
#pragma once

#include <functional>
#include <string>

#include "engine/tiff/tiff_file.h"

namespace vestrel {

// The backup name used while `path` is rewritten.
std::string RewriteBackupPath(const std::string& path);

// Writes the new content of the file into `out` from `in` (the backup); returns false, with
// `error` set, when the new content cannot be made. It writes `out`'s directories itself.
using RewriteBody = std::function<bool(TiffFile& in, TiffFile& out, std::string* error)>;

// Runs `body` on `path` inside the backup frame. True: `path` holds the new content and the
// backup is gone. False: `path` holds its previous content again and `error` (optional) says
// why. Should even moving the backup back fail, the previous content stays in the backup
// file, and `error` names it.
bool RewriteInPlace(const std::string& path, const RewriteBody& body, std::string* error);

}  // namespace vestrel
