#include "platform/mount_table.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "platform/file_ops.h"
#include "platform/unique_fd.h"

namespace plexivar::platform {
namespace {

// Fields of mountinfo are separated by single blanks; blanks, tabs, newlines and
// backslashes inside a field are written as three-digit octal escapes.
std::string Unescape(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string_view> SplitBlanks(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i >= line.size())
            break;
        const auto end = line.find(' ', i);
        fields.push_back(
            line.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i));
        if (end == std::string_view::npos)
            break;
        i = end;
    }
    return fields;
}

bool IsUnder(std::string_view path, std::string_view mountPoint) {
    if (mountPoint == "/")
        return !path.empty() && path.front() == '/';
    if (path.substr(0, mountPoint.size()) != mountPoint)
        return false;
    return path.size() == mountPoint.size() || path[mountPoint.size()] == '/';
}

// "user@host" -> "host".
std::string_view StripUser(std::string_view host) {
    const auto at = host.rfind('@');
    return at == std::string_view::npos ? host : host.substr(at + 1);
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const auto fields = SplitBlanks(text.substr(start, end - start));
        start = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source super
        std::size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-") ++dash;
        if (fields.size() < 6 || dash + 2 >= fields.size())
            continue;
        MountEntry entry;
        entry.mountPoint = Unescape(fields[4]);
        entry.fsType = Unescape(fields[dash + 1]);
        entry.source = Unescape(fields[dash + 2]);
        if (entry.mountPoint.empty() || entry.mountPoint.front() != '/')
            continue;
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool ReadMountTable(std::vector<MountEntry>& entries, std::string* error) {
    entries.clear();
    UniqueFd fd(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC));
    if (!fd) {
        if (error)
            *error = SystemErrorText(errno);
        return false;
    }
    // The file reports size 0; read it to the end.
    std::string text;
    std::array<char, 8192> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (error)
                *error = SystemErrorText(errno);
            return false;
        }
        if (n == 0)
            break;
        text.append(buffer.data(), static_cast<std::size_t>(n));
    }
    entries = ParseMountInfo(text);
    return true;
}

const MountEntry* FindMountFor(const std::vector<MountEntry>& entries,
                               std::string_view absolutePath) {
    const MountEntry* best = nullptr;
    for (const auto& entry : entries) {
        if (!IsUnder(absolutePath, entry.mountPoint))
            continue;
        if (!best || entry.mountPoint.size() >= best->mountPoint.size())
            best = &entry;
    }
    return best;
}

bool IsNetworkFileSystem(std::string_view fsType) {
    static constexpr std::string_view kTypes[] = {
        "cifs",           "smb3",       "smbfs", "nfs",   "nfs4", "ceph", "glusterfs",
        "fuse.glusterfs", "fuse.sshfs", "sshfs", "davfs", "afs",  "ncpfs"};
    for (auto type : kTypes) {
        if (fsType == type)
            return true;
    }
    return false;
}

std::string HostFromMountSource(std::string_view source) {
    if (source.size() > 2 && (source.substr(0, 2) == "//" || source.substr(0, 2) == "\\\\")) {
        const auto rest = source.substr(2);
        return std::string(StripUser(rest.substr(0, rest.find_first_of("/\\"))));
    }
    if (const auto scheme = source.find("://"); scheme != std::string_view::npos) {
        auto rest =
            StripUser(source.substr(scheme + 3, source.find('/', scheme + 3) - (scheme + 3)));
        if (!rest.empty() && rest.front() == '[')
            return std::string(rest.substr(1, rest.find(']') - 1));
        return std::string(rest.substr(0, rest.find(':')));
    }
    const auto colon = source.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return {};
    if (source.front() == '[') {
        const auto close = source.find(']');
        if (close == std::string_view::npos)
            return {};
        return std::string(source.substr(1, close - 1));
    }
    auto host = StripUser(source.substr(0, colon));
    // Several monitors ("a:6789,b:6789:/") name their first server first.
    return std::string(host.substr(0, host.find(',')));
}

std::string LexicallyAbsolute(std::string_view path, std::string_view currentDir) {
    std::string joined;
    if (path.empty() || path.front() != '/') {
        joined.assign(currentDir);
        joined += '/';
    }
    joined.append(path);

    std::vector<std::string_view> parts;
    std::string_view rest = joined;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const auto part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (auto part : parts) {
        out += '/';
        out.append(part);
    }
    return out.empty() ? "/" : out;
}

}  // namespace plexivar::platform
