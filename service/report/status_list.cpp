#include "service/report/status_list.h"

#include "platform/text.h"

namespace plexivar {
namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

CellColours Colours(Rgb text, Rgb background) { return CellColours{true, text, background}; }

bool IsAnyOf(const std::string& name, std::initializer_list<std::string_view> words) {
    for (auto word : words)
        if (platform::EqualsIgnoreCase(name, word)) return true;
    return false;
}

}  // namespace

CellColours StatusColours(const std::string& status) {
    if (status.find("Error") != std::string::npos) return Colours(kWhite, {255, 0, 0});
    if (status.find("Processing") != std::string::npos) return Colours(kBlack, {255, 255, 0});
    return Colours(kBlack, {0, 255, 0});
}

CellColours ColourCellColours(const std::string& name) {
    if (name.empty()) return {};
    const char first = name.front();
    // The words are listed in both Windows-1252 and UTF-8.
    if (first == 'C' || first == 'c' || IsAnyOf(name, {"bl\xE5", "bl\xC3\xA5"}))
        return Colours(kBlack, {0, 255, 255});
    if (first == 'M' || first == 'm' ||
        IsAnyOf(name, {"r\xF8" "d", "r\xC3\xB8" "d", "r\xF6" "d", "r\xC3\xB6" "d"}))
        return Colours(kBlack, {255, 0, 255});
    if (first == 'Y' || first == 'y' || IsAnyOf(name, {"gul"}))
        return Colours(kBlack, {255, 255, 0});
    if (first == 'K' || first == 'k' || IsAnyOf(name, {"black", "sort", "svart"}))
        return Colours(kWhite, kBlack);
    return {};
}

StatusListUpdate StatusList::Record(StatusRow row) {
    std::lock_guard lock(mutex_);
    StatusListUpdate update;
    while (rows_.size() > kMaxRowsBeforeRecord) {
        rows_.erase(rows_.begin());
        ++update.removedFromTop;
    }
    std::size_t i = 0;
    while (i < rows_.size() && rows_[i].file != row.file) ++i;
    if (i == rows_.size()) {
        rows_.push_back(row);
        update.appended = true;
    } else {
        // A cell whose colour the new record does not set keeps its previous colours.
        if (!row.colorColours.set) row.colorColours = rows_[i].colorColours;
        rows_[i] = row;
    }
    update.index = static_cast<int>(i);
    update.row = std::move(row);
    return update;
}

std::vector<StatusRow> StatusList::Rows() const {
    std::lock_guard lock(mutex_);
    return rows_;
}

void StatusList::Clear() {
    std::lock_guard lock(mutex_);
    rows_.clear();
}

}  // namespace plexivar
