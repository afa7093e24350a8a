// The icon in the desktop's notification area, when the operator wants the window to live
// there: tool tip "Plexivar", a menu with the one command that hides or restores the
// window (also given by a click on the icon), a four-frame animation every 500 ms while
// the spoolers run, and balloon messages.
#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

#include <optional>

namespace plexivar::ui {

class TrayIcon : public QObject {
    Q_OBJECT
public:
    static constexpr int kFrameMs = 500;
    static constexpr int kBalloonMs = 10000;

    // Whether the desktop has a notification area to put the icon in.
    static bool Available();
    // Tests decide what Available() says (nullopt: ask the desktop again).
    static void SetAvailableForTesting(std::optional<bool> available);

    explicit TrayIcon(QObject* parent = nullptr);

    // Tool tip "Plexivar started" and the animation, or "Plexivar stopped" and the still
    // program icon.
    void SetRunning(bool running);
    // A balloon with the information icon, shown for 10 seconds.
    void ShowBalloon(const QString& title, const QString& text);

    QString ToolTip() const { return icon_.toolTip(); }
    bool Animating() const { return animation_.isActive(); }
    int Frame() const { return frame_; }
    QString LastBalloon() const { return lastBalloon_; }
    QMenu& Menu() { return menu_; }

signals:
    // The tray command "&Minimize / Maximize To Tray...", or a click on the icon.
    void ToggleRequested();

private:
    QMenu menu_;
    QSystemTrayIcon icon_;
    QTimer animation_;
    int frame_ = 0;
    QString lastBalloon_;
};

}  // namespace plexivar::ui
