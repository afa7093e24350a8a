// The spooler icons: one 48 x 48 picture per spooler in a row, captioned with its input
// folder. A left click on an icon and files dropped on an icon are passed on as signals;
// what they do (toggle the spooler, copy the files into its folder) is decided by the
// window, which knows the settings and the running state.
#pragma once

#include <QListWidget>
#include <QStringList>

#include <vector>

namespace plexivar::ui {

class SpoolerIcons : public QListWidget {
    Q_OBJECT
public:
    struct Entry {
        QString folder;
        int image = 0;
    };

    explicit SpoolerIcons(QWidget* parent = nullptr);

    // Replaces all icons.
    void Fill(const std::vector<Entry>& entries);
    // Sets the picture of icon `index` (0-based); an index without an icon is ignored.
    void SetImage(int index, int image);
    // The picture shown by icon `index`, -1 when there is none.
    int Image(int index) const;
    // The centre of icon `index` in viewport coordinates (for clicks and drops).
    QPoint IconCentre(int index) const;

    QSize sizeHint() const override;

signals:
    void IconClicked(int index);
    // Local files (or folders) dropped on icon `index`.
    void FilesDropped(int index, const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The icon under `pos` (viewport coordinates), -1 when none.
    int IconAt(const QPoint& pos) const;
};

}  // namespace plexivar::ui
