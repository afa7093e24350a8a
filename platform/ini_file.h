// Windows-style initialisation files ("private profile" semantics) on Linux.
//
// Reading: section and key names match case-insensitively, the first matching section and
// the first matching key in it win; blanks around keys and values are trimmed; a value
// wrapped in matching double or single quotes loses them; lines starting with ';' are
// comments; lines may end in "\r\n", "\n" or a bare "\r"; a value is cut to bufferSize - 1
// characters; a missing file, section or key gives the default, without its trailing
// blanks. Reading never fails.
//
// Writing replaces the value of an existing key in place and keeps every other line,
// comment, section and line end as it was; a new key goes to the end of its section, a new
// section to the end of the file with no blank line before it. Added lines end like the
// file's first line ("\r\n" in a new file), and a last line that had no line end gets one
// when a line is added after it. A save writes a temporary file beside the target and
// renames it over the original, so an interrupted save leaves the old file intact.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace plexivar::platform {

// Size of the value buffers the settings code reads into: values are cut to 254 characters.
inline constexpr std::size_t kProfileBufferSize = 255;

class IniFile {
public:
    // An empty document (as for a missing file).
    IniFile() = default;

    // Reads `path`; a missing or unreadable file gives an empty document.
    static IniFile Load(const std::string& path);
    // Parses text already in memory.
    static IniFile Parse(std::string_view text);

    // The value of `key` in `section`, or `defaultValue` without its trailing blanks when
    // there is none; at most bufferSize - 1 characters (the default is cut the same way).
    std::string Get(std::string_view section, std::string_view key, std::string_view defaultValue,
                    std::size_t bufferSize = kProfileBufferSize) const;
    // True when the key exists in the first matching section.
    bool Has(std::string_view section, std::string_view key) const;

    // Sets (replaces in place, or appends) the value of `key` in `section`.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    // The document as text, every line with the line end it was read with.
    std::string Text() const;

    // Writes the document to `path` atomically (temporary file, fsync, rename).
    // On failure returns false with a reason in `error` and leaves the old file untouched.
    bool Save(const std::string& path, std::string* error = nullptr) const;

private:
    struct Line {
        std::string text;  // the raw line without its line end
        std::string eol;   // "\r\n", "\n", "\r", or "" for a last line without one
    };
    // Index of the first line of the first matching section header, or npos.
    std::size_t FindSection(std::string_view section) const;
    // Index of the line that holds `key` within the section starting at `header`, or npos.
    std::size_t FindKey(std::size_t header, std::string_view key) const;
    // One past the last line that belongs to the section starting at `header`.
    std::size_t SectionEnd(std::size_t header) const;
    // Inserts a new line before index `at` (at the end for lines_.size()).
    void InsertLine(std::size_t at, std::string text);

    std::vector<Line> lines_;
    std::string eol_ = "\r\n";  // line end of added lines: the file's first one
};

// Key-by-key convenience wrappers, each reading the file anew like the Windows functions.
std::string GetProfileString(const std::string& path, std::string_view section,
                             std::string_view key, std::string_view defaultValue,
                             std::size_t bufferSize = kProfileBufferSize);
// Writes one key; returns false (and changes nothing) when the file cannot be saved.
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

// Test seam: when the function returns true, Save stops right before its rename, as if the
// process had died there (the temporary file is left behind). nullptr removes it.
void SetSaveInterruptForTesting(bool (*interrupt)());

}  // namespace plexivar::platform
