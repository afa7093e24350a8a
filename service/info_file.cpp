#include "service/info_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>

#include "platform/c_locale.h"
#include "platform/file_ops.h"
#include "platform/unique_fd.h"
#include "service/name_fields.h"

namespace plexivar {
namespace {

using platform::UniqueFd;

// Opens a regular file for reading without blocking on a FIFO of the same name.
UniqueFd OpenRegularFile(const std::string& path, struct stat& st, std::string* error) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        if (error)
            *error = platform::SystemErrorText(errno);
        return fd;
    }
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error)
            *error = "not a regular file";
        fd.reset();
    }
    return fd;
}

// Reads up to `limit` bytes; false on a read error.
bool ReadUpTo(int fd, std::size_t limit, std::string& out) {
    out.assign(limit, '\0');
    std::size_t got = 0;
    while (got < limit) {
        const ssize_t n = ::read(fd, out.data() + got, limit - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return true;
}

// The rest of the line after the first occurrence of `key`, trailing blanks removed;
// `found` tells whether the key occurs at all.
std::string ValueOf(std::string_view text, std::string_view key, bool& found) {
    const auto pos = text.find(key);
    found = pos != std::string_view::npos;
    if (!found)
        return {};
    const auto start = pos + key.size();
    const auto end = text.find_first_of("\r\n", start);
    std::string value(
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    const auto last = value.find_last_not_of(" \t");
    value.resize(last == std::string::npos ? 0 : last + 1);
    return value;
}

double CorrectionOf(std::string_view text, std::string_view key) {
    bool found = false;
    const std::string value = ValueOf(text, key, found);
    if (!found)
        return 0.0;
    const double v = platform::ParseReal(value);
    // "nan" and "inf" parse as numbers but are no scale; treat them as no correction.
    return std::isfinite(v) ? v : 0.0;
}

// Removes the line that starts at the first `key` together with its line end, but only
// when some text follows that line.
void RemoveKeyLine(std::string& text, std::string_view key) {
    const auto pos = text.find(key);
    if (pos == std::string::npos)
        return;
    auto end = text.find_first_of("\r\n", pos + key.size());
    if (end == std::string::npos)
        return;
    if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
        ++end;
    ++end;
    if (end >= text.size())
        return;
    text.erase(pos, end - pos);
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Replaces `path` by `content` through a temporary file beside it, so that a reader (or a
// crash) never sees a half-written information file.
bool ReplaceFile(const std::string& path, const std::string& content, mode_t mode) {
    const std::string folder = platform::DirectoryOf(path);
    std::string tmpName(1, '.');
    tmpName += platform::FileNameOf(path);
    tmpName += ".strip-XXXXXX";
    std::string tmp = platform::JoinPath(folder.empty() ? std::string(1, '.') : folder, tmpName);
    UniqueFd out(::mkstemp(tmp.data()));
    if (!out)
        return false;
    bool ok = ::fchmod(out.get(), mode & 07777) == 0 && WriteAll(out.get(), content) &&
              ::fsync(out.get()) == 0;
    ok = (::close(out.release()) == 0) && ok;
    ok = ok && ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(tmp.c_str());
    return ok;
}

}  // namespace

std::string InformationFilePath(const std::string& imagePath) {
    const std::string name = platform::FileNameOf(imagePath);
    const auto dot = name.rfind('.');
    const std::size_t keep =
        imagePath.size() - name.size() + (dot == std::string::npos ? name.size() : dot);
    return imagePath.substr(0, keep) + ".inf";
}

bool ReadInformationText(const std::string& path, std::string& text, std::string* error) {
    text.clear();
    struct stat st {};
    UniqueFd fd = OpenRegularFile(path, st, error);
    if (!fd)
        return false;
    if (!ReadUpTo(fd.get(), kInformationReadLimit, text)) {
        if (error)
            *error = platform::SystemErrorText(errno);
        text.clear();
        return false;
    }
    const auto nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
    return true;
}

InformationValues ParseInformationText(std::string_view text) {
    InformationValues values;
    bool found = false;
    const std::string colour = ValueOf(text, "ColorName: ", found);
    if (!colour.empty())
        values.colour = colour.substr(0, 1);
    values.zone = TrimBlanks(ValueOf(text, "Zone: ", found));
    values.correctionX = CorrectionOf(text, "Xcorrection: ");
    values.correctionY = CorrectionOf(text, "Ycorrection: ");
    return values;
}

std::string StripCorrectionsFromText(std::string text) {
    RemoveKeyLine(text, "Xcorrection: ");
    RemoveKeyLine(text, "Ycorrection: ");
    return text;
}

bool StripCorrections(const std::string& informationPath) {
    struct stat st {};
    std::string text;
    {
        UniqueFd fd = OpenRegularFile(informationPath, st, nullptr);
        if (!fd)
            return false;
        if (static_cast<std::uint64_t>(st.st_size) > kInformationRewriteLimit)
            return false;
        // One byte more than the limit tells a file that grew since fstat.
        if (!ReadUpTo(fd.get(), kInformationRewriteLimit + 1, text))
            return false;
        if (text.size() > kInformationRewriteLimit)
            return false;
    }
    const std::string stripped = StripCorrectionsFromText(text);
    if (stripped == text)
        return true;
    return ReplaceFile(informationPath, stripped, st.st_mode);
}

}  // namespace plexivar
