#include "ui/window_placement.h"

#include <QSettings>
#include <QWidget>

namespace plexivar::ui {
namespace {

QSettings UserSettings() { return QSettings(QStringLiteral("Plexivar"), QStringLiteral("Plexivar")); }

}  // namespace

bool RestorePlacement(QWidget* widget, const QString& name) {
    const QByteArray geometry = UserSettings().value(name).toByteArray();
    return !geometry.isEmpty() && widget->restoreGeometry(geometry);
}

void SavePlacement(const QWidget* widget, const QString& name) {
    UserSettings().setValue(name, widget->saveGeometry());
}

void ApplyWindowRectangle(QWidget* widget, const WindowPlacement& r) {
    if (r.Top == -1) return;
    widget->move(r.Left, r.Top);
    if (r.Right > r.Left && r.Bottom > r.Top) widget->resize(r.Right - r.Left, r.Bottom - r.Top);
}

}  // namespace plexivar::ui
