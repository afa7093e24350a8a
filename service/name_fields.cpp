#include "service/name_fields.h"

#include "platform/c_locale.h"

namespace plexivar {
namespace {
constexpr std::string_view kBlanks = " \t\r\n\v\f";
}  // namespace

std::string TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kBlanks);
    return std::string(text.substr(first, last - first + 1));
}

int SplitFields(std::string_view text, std::string_view delimiters,
                std::vector<std::string>& fields) {
    fields.clear();
    const std::string trimmed = TrimBlanks(text);
    std::size_t start = 0;
    for (;;) {
        const auto end = trimmed.find_first_of(delimiters, start);
        if (end == std::string::npos) {
            fields.push_back(trimmed.substr(start));
            break;
        }
        fields.push_back(trimmed.substr(start, end - start));
        start = end + 1;
    }
    return static_cast<int>(fields.size());
}

std::int64_t FlatSeparationFromName(std::string_view fileName) {
    std::string_view stem = fileName.substr(0, fileName.rfind('.'));
    const auto dash = stem.rfind('-');
    if (dash != std::string_view::npos)
        stem.remove_prefix(dash + 1);
    return static_cast<std::int64_t>(platform::ParseInt64(stem));
}

bool ZoneInList(std::string_view zone, std::string_view list) {
    const std::string wanted = TrimBlanks(zone);
    if (wanted.empty())
        return false;
    std::vector<std::string> fields;
    SplitFields(list, ",", fields);
    for (const auto& field : fields) {
        if (TrimBlanks(field) == wanted)
            return true;
    }
    return false;
}

}  // namespace plexivar
