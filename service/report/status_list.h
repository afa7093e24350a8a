// The job list of the operator window as data: at most 501 rows, one per input file name,
// each with six cells ("Time", "Status", "Color", "File", "Seconds", "Comment") and the
// colours of the Status and Color cells.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace plexivar {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Colours of one cell; `set` false means the system's window colours.
struct CellColours {
    bool set = false;
    Rgb text;
    Rgb background;
    friend bool operator==(const CellColours&, const CellColours&) = default;
};

struct StatusRow {
    std::string time;     // "dd.mm hh:mm:ss"
    std::string status;   // "Processing", "Done", "Error", ...
    std::string color;    // first character of the colour name, or empty
    std::string file;     // input file name; identifies the row
    std::string seconds;  // decimal, or a single blank for none
    std::string comment;
    CellColours statusColours;
    CellColours colorColours;
};

// What one record did to the list, for a view that mirrors it.
struct StatusListUpdate {
    int removedFromTop = 0;  // oldest rows deleted before the change
    int index = 0;           // row replaced or appended (after the removal)
    bool appended = false;   // true: a new row at the end; false: row `index` replaced
    StatusRow row;
};

// Colours of the Status cell for a status text: red with white text when it contains
// "Error", yellow when it contains "Processing", else green (case-sensitive substrings).
CellColours StatusColours(const std::string& status);
// Colours of the Color cell for a colour name (first letter or a colour word in several
// languages); unset when the name is not recognised.
CellColours ColourCellColours(const std::string& colourName);

class StatusList {
public:
    static constexpr std::size_t kMaxRowsBeforeRecord = 500;

    // Drops the oldest rows while more than 500 are held, then replaces the first row with
    // the same file name (case-sensitive) or appends a new one.
    StatusListUpdate Record(StatusRow row);

    std::vector<StatusRow> Rows() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<StatusRow> rows_;
};

}  // namespace plexivar
