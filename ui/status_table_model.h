// The status list as a table model: the window's mirror of the service's job list, kept
// up to date by the list's updates (rows dropped from the top, one row replaced or
// appended). Six columns with their texts and the per-cell colours of the Status and
// Color cells; cells without colours use the view's own.
#pragma once

#include <QAbstractTableModel>

#include <deque>

#include "service/report/status_list.h"

namespace plexivar::ui {

class StatusTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kTime, kStatus, kColor, kFile, kSeconds, kComment, kColumnCount };
    // Initial column widths in pixels, in column order.
    static constexpr int kColumnWidths[kColumnCount] = {120, 90, 50, 250, 60, 300};

    using QAbstractTableModel::QAbstractTableModel;

    // Applies one update of the job list; returns the row it changed.
    int Apply(const StatusListUpdate& update);
    const StatusRow& Row(int row) const { return rows_.at(static_cast<std::size_t>(row)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::deque<StatusRow> rows_;
};

}  // namespace plexivar::ui
