#include "ui/spooler_icons.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

#include "ui/artwork.h"

namespace plexivar::ui {
namespace {

constexpr int kImageRole = Qt::UserRole;
// Room for the picture and one line of folder name under it.
const QSize kGrid(150, 72);

QStringList LocalPaths(const QMimeData* mime) {
    QStringList paths;
    if (!mime) return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

}  // namespace

SpoolerIcons::SpoolerIcons(QWidget* parent) : QListWidget(parent) {
    setViewMode(QListView::IconMode);
    setIconSize(QSize(kSpoolerImageSize, kSpoolerImageSize));
    setGridSize(kGrid);
    setFlow(QListView::LeftToRight);
    setWrapping(false);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    // A long folder shows its end, the part that tells spoolers apart; the tool tip has
    // all of it.
    setWordWrap(false);
    setTextElideMode(Qt::ElideLeft);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { emit IconClicked(row(item)); });
}

QSize SpoolerIcons::sizeHint() const {
    return {kGrid.width() * 4,
            kGrid.height() + 2 * frameWidth() + horizontalScrollBar()->sizeHint().height()};
}

void SpoolerIcons::Fill(const std::vector<Entry>& entries) {
    clear();
    for (const Entry& entry : entries) {
        auto* item = new QListWidgetItem(entry.folder, this);  // owned by the list
        item->setToolTip(entry.folder);
        item->setFlags(Qt::ItemIsEnabled);
        item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
        SetImage(count() - 1, entry.image);
    }
}

void SpoolerIcons::SetImage(int index, int image) {
    QListWidgetItem* it = item(index);
    if (!it || it->data(kImageRole).toInt() == image + 1) return;
    it->setData(kImageRole, image + 1);  // 0 means "no image set yet"
    it->setIcon(QIcon(SpoolerImage(image)));
}

int SpoolerIcons::Image(int index) const {
    const QListWidgetItem* it = item(index);
    return it ? it->data(kImageRole).toInt() - 1 : -1;
}

QPoint SpoolerIcons::IconCentre(int index) const {
    const QListWidgetItem* it = item(index);
    return it ? visualItemRect(it).center() : QPoint(-1, -1);
}

int SpoolerIcons::IconAt(const QPoint& pos) const {
    const QListWidgetItem* it = itemAt(pos);
    return it ? row(it) : -1;
}

void SpoolerIcons::dragEnterEvent(QDragEnterEvent* event) {
    if (LocalPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void SpoolerIcons::dragMoveEvent(QDragMoveEvent* event) {
    // Only an icon takes the files; elsewhere the cursor says "not here".
    if (IconAt(event->position().toPoint()) >= 0)
        event->acceptProposedAction();
    else
        event->ignore();
}

void SpoolerIcons::dropEvent(QDropEvent* event) {
    const int index = IconAt(event->position().toPoint());
    const QStringList paths = LocalPaths(event->mimeData());
    if (index < 0 || paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit FilesDropped(index, paths);
}

}  // namespace plexivar::ui
