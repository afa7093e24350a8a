#include "engine/tiff/rewrite_in_place.h"

#include "platform/file_ops.h"

namespace vestrel {

namespace platform = plexivar::platform;

namespace {

// Puts the backup back under the original name, replacing whatever was written there.
bool Restore(const std::string& backup, const std::string& path, std::string& error) {
    std::string moveError;
    if (platform::MoveFileReplace(backup, path, &moveError))
        return true;
    error += "; the previous content is kept in " + backup + " (" + moveError + ")";
    return false;
}

}  // namespace

std::string RewriteBackupPath(const std::string& path) {
    return path + ".temp";
}

bool RewriteInPlace(const std::string& path, const RewriteBody& body, std::string* error) {
    std::string text;
    const std::string backup = RewriteBackupPath(path);
    const auto fail = [&](TiffFile* in, TiffFile* out) {
        if (in != nullptr)
            in->Close();
        if (out != nullptr)
            out->Close();
        Restore(backup, path, text);
        if (error != nullptr)
            *error = text;
        return false;
    };

    // Moving aside leaves `path` free; when the move has to copy, the platform removes the
    // source only after the copy is complete. A failed move leaves `path` as it was.
    std::string moveError;
    if (!platform::MoveFileReplace(path, backup, &moveError)) {
        if (error != nullptr)
            *error = "cannot move " + path + " to " + backup + ": " + moveError;
        return false;
    }
    TiffFile in;
    if (!in.Open(backup, "rm")) {
        text = in.Describe("cannot open " + backup + " for reading");
        return fail(&in, nullptr);
    }
    TiffFile out;
    if (!out.Open(path, "wm")) {
        text = out.Describe("cannot create " + path);
        return fail(&in, &out);
    }
    std::string bodyError;
    if (!body(in, out, &bodyError)) {
        text = bodyError.empty() ? "cannot rewrite " + path : bodyError;
        if (!in.lastError().empty())
            text += " (" + in.lastError() + ")";
        else if (!out.lastError().empty())
            text += " (" + out.lastError() + ")";
        return fail(&in, &out);
    }
    in.Close();
    if (TIFFFlush(out.get()) != 1) {
        text = out.Describe("cannot write " + path);
        return fail(nullptr, &out);
    }
    out.Close();
    platform::DeleteFile(backup);
    if (error != nullptr)
        error->clear();
    return true;
}

}  // namespace vestrel
