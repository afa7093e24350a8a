#include "platform/ini_file.h"

#include <sys/stat.h>

#include <fstream>
#include <optional>
#include <sstream>

#include "platform/file_ops.h"

namespace plexivar::platform {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        // ASCII folding only: names are plain ASCII; bytes above 127 must match exactly.
        const auto fa = (ca >= 'A' && ca <= 'Z') ? ca + 32 : ca;
        const auto fb = (cb >= 'A' && cb <= 'Z') ? cb + 32 : cb;
        if (fa != fb) return false;
    }
    return true;
}

// The section name of a header line "[name]", or false when the line is not a header.
bool ParseHeader(std::string_view line, std::string_view& name) {
    line = Trim(line);
    if (line.empty() || line.front() != '[') return false;
    const auto close = line.find(']');
    if (close == std::string_view::npos) return false;  // "[Setup" alone is not a header
    name = Trim(line.substr(1, close - 1));
    return true;
}

// Splits a "key=value" line; false for comments, blank lines and lines without '='.
bool ParseEntry(std::string_view line, std::string_view& key, std::string_view& value) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') return false;
    const auto eq = trimmed.find('=');
    if (eq == std::string_view::npos) return false;
    key = Trim(trimmed.substr(0, eq));
    value = Trim(trimmed.substr(eq + 1));
    return true;
}

bool (*g_saveInterrupt)() = nullptr;

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// A default value loses its trailing blanks (its leading ones are kept).
std::string_view TrimTrailing(std::string_view s) {
    const auto last = s.find_last_not_of(kBlanks);
    return last == std::string_view::npos ? std::string_view{} : s.substr(0, last + 1);
}

std::string Cut(std::string_view v, std::size_t bufferSize) {
    const std::size_t limit = bufferSize == 0 ? 0 : bufferSize - 1;
    return std::string(v.substr(0, limit));
}

}  // namespace

IniFile IniFile::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return IniFile();
    std::ostringstream ss;
    ss << in.rdbuf();
    return Parse(ss.str());
}

IniFile IniFile::Parse(std::string_view text) {
    IniFile ini;
    bool eolSeen = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            ini.lines_.push_back(Line{std::string(text.substr(pos)), ""});
            break;
        }
        const std::size_t eolSize = text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
        std::string eol(text.substr(end, eolSize));
        if (!eolSeen) {
            ini.eol_ = eol;
            eolSeen = true;
        }
        ini.lines_.push_back(Line{std::string(text.substr(pos, end - pos)), std::move(eol)});
        pos = end + eolSize;
    }
    return ini;
}

std::size_t IniFile::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string_view name;
        if (ParseHeader(lines_[i].text, name) && EqualsIgnoreCase(name, section)) return i;
    }
    return std::string::npos;
}

std::size_t IniFile::SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    std::string_view name;
    while (i < lines_.size() && !ParseHeader(lines_[i].text, name)) ++i;
    return i;
}

std::size_t IniFile::FindKey(std::size_t header, std::string_view key) const {
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        std::string_view k, v;
        if (ParseEntry(lines_[i].text, k, v) && EqualsIgnoreCase(k, key)) return i;
    }
    return std::string::npos;
}

std::string IniFile::Get(std::string_view section, std::string_view key,
                         std::string_view defaultValue, std::size_t bufferSize) const {
    const std::size_t header = FindSection(section);
    const std::size_t at = header == std::string::npos ? header : FindKey(header, key);
    if (at == std::string::npos) return Cut(TrimTrailing(defaultValue), bufferSize);
    std::string_view k, v;
    ParseEntry(lines_[at].text, k, v);
    return Cut(Unquote(v), bufferSize);
}

bool IniFile::Has(std::string_view section, std::string_view key) const {
    const std::size_t header = FindSection(section);
    return header != std::string::npos && FindKey(header, key) != std::string::npos;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    std::string line = std::string(key) + "=" + std::string(value);
    std::size_t header = FindSection(section);
    if (header == std::string::npos) {
        // Straight after the last line, without a blank line in between.
        InsertLine(lines_.size(), "[" + std::string(section) + "]");
        InsertLine(lines_.size(), std::move(line));
        return;
    }
    const std::size_t at = FindKey(header, key);
    if (at != std::string::npos) {
        std::string_view k, v;
        ParseEntry(lines_[at].text, k, v);
        lines_[at].text = std::string(k) + "=" + std::string(value);
        return;
    }
    // After the section's last non-blank line, so blank lines between sections stay put.
    std::size_t insert = SectionEnd(header);
    while (insert > header + 1 && Trim(lines_[insert - 1].text).empty()) --insert;
    InsertLine(insert, std::move(line));
}

void IniFile::InsertLine(std::size_t at, std::string text) {
    // Only the last line can lack a line end; a line put after it ends it first.
    if (at == lines_.size() && !lines_.empty() && lines_.back().eol.empty())
        lines_.back().eol = eol_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), eol_});
}

std::string IniFile::Text() const {
    std::string out;
    for (const Line& line : lines_) out += line.text + line.eol;
    return out;
}

bool IniFile::Save(const std::string& path, std::string* error) const {
    // A replaced file keeps its permissions; a new one is created like any other file.
    struct stat st {};
    std::optional<mode_t> mode;
    if (::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    ReplacementFile out;
    if (!out.Create(path, "save", mode, error) || !out.Write(Text(), error)) return false;
    if (g_saveInterrupt && g_saveInterrupt()) {
        out.Abandon();
        return false;
    }
    return out.Commit(error);
}

std::string GetProfileString(const std::string& path, std::string_view section,
                             std::string_view key, std::string_view defaultValue,
                             std::size_t bufferSize) {
    return IniFile::Load(path).Get(section, key, defaultValue, bufferSize);
}

void SetSaveInterruptForTesting(bool (*interrupt)()) { g_saveInterrupt = interrupt; }

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    IniFile ini = IniFile::Load(path);
    ini.Set(section, key, value);
    return ini.Save(path);
}

}  // namespace plexivar::platform
