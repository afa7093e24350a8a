// The table of every configuration key: its name, the field it fills and how its value is
// written back. Loading, saving and printing the settings all walk these tables, so a key
// is described exactly once.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "service/config/settings.h"

namespace plexivar {

// How a value is written back to the ini file.
enum class WriteForm {
    Flag,        // "1" for any non-zero value, else "0"
    Decimal,     // "%d"
    Real,        // "%f"
    Text,        // as it stands
    NotWritten,  // read only (also printed with --print-settings, as "%d" or text)
};

template <class Record>
struct KeyDef {
    const char* name;  // key name; numbered keys get the spooler number appended
    std::variant<int Record::*, double Record::*, std::string Record::*> field;
    WriteForm form;
    bool secret = false;  // saved as it is, but never shown (printed as "********" when set)
};

// Global keys of section "Setup", in the order they are read and written.
const std::vector<KeyDef<ServiceSettings>>& ServiceKeys();
// Numbered keys of one spooler ("InputFolder" -> "InputFolder3"), in record order.
const std::vector<KeyDef<SpoolerSettings>>& SpoolerKeys();
// Keys of section "Window".
const std::vector<KeyDef<WindowPlacement>>& WindowKeys();
// Keys of section "Status" (set by hand in the file; the program never writes them).
const std::vector<KeyDef<StatusEndpointSettings>>& StatusKeys();

// Reads one key into its field when the key is present (a present but empty or
// non-numeric value reads as 0); a missing key leaves the field's default.
template <class Record>
void ReadKey(const KeyDef<Record>& key, const std::string& value, Record& record);

// The value of a key's field in its written-back form.
template <class Record>
std::string KeyText(const KeyDef<Record>& key, const Record& record);

// KeyText for showing the value to a person: a secret that is set shows as "********".
template <class Record>
std::string ShownKeyText(const KeyDef<Record>& key, const Record& record);

}  // namespace plexivar
