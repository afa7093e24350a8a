#include "ui/status_table_model.h"

#include <QBrush>
#include <QColor>

#include <algorithm>

#include "ui/eight_bit_text.h"

namespace plexivar::ui {
namespace {

QColor ToQColor(const Rgb& c) { return QColor(c.r, c.g, c.b); }

const std::string& CellText(const StatusRow& row, int column) {
    switch (column) {
        case StatusTableModel::kTime: return row.time;
        case StatusTableModel::kStatus: return row.status;
        case StatusTableModel::kColor: return row.color;
        case StatusTableModel::kFile: return row.file;
        case StatusTableModel::kSeconds: return row.seconds;
        default: return row.comment;
    }
}

const CellColours* CellColoursOf(const StatusRow& row, int column) {
    if (column == StatusTableModel::kStatus) return &row.statusColours;
    if (column == StatusTableModel::kColor) return &row.colorColours;
    return nullptr;
}

}  // namespace

int StatusTableModel::Apply(const StatusListUpdate& update) {
    const int drop = std::min(update.removedFromTop, static_cast<int>(rows_.size()));
    if (drop > 0) {
        beginRemoveRows({}, 0, drop - 1);
        rows_.erase(rows_.begin(), rows_.begin() + drop);
        endRemoveRows();
    }
    const int size = static_cast<int>(rows_.size());
    if (update.appended || update.index >= size) {
        beginInsertRows({}, size, size);
        rows_.push_back(update.row);
        endInsertRows();
        return size;
    }
    rows_[static_cast<std::size_t>(update.index)] = update.row;
    emit dataChanged(index(update.index, 0), index(update.index, kColumnCount - 1));
    return update.index;
}

int StatusTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int StatusTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant StatusTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const StatusRow& row = Row(index.row());
    const CellColours* colours = CellColoursOf(row, index.column());
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole: return ShowBytes(CellText(row, index.column()));
        case Qt::BackgroundRole:
            if (colours && colours->set) return QBrush(ToQColor(colours->background));
            return {};
        case Qt::ForegroundRole:
            if (colours && colours->set) return QBrush(ToQColor(colours->text));
            return {};
        default: return {};
    }
}

QVariant StatusTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const kTitles[kColumnCount] = {"Time", "Status", "Color",
                                                      "File", "Seconds", "Comment"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumnCount)
        return {};
    return QString::fromLatin1(kTitles[section]);
}

}  // namespace plexivar::ui
