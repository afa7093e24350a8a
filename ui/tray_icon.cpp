#include "ui/tray_icon.h"

#include "ui/artwork.h"

namespace plexivar::ui {
namespace {
std::optional<bool> g_availableForTesting;
}

bool TrayIcon::Available() {
    return g_availableForTesting.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void TrayIcon::SetAvailableForTesting(std::optional<bool> available) {
    g_availableForTesting = available;
}

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {
    QAction* toggle = menu_.addAction(QStringLiteral("&Minimize / Maximize To Tray..."));
    menu_.setDefaultAction(toggle);
    connect(toggle, &QAction::triggered, this, &TrayIcon::ToggleRequested);
    icon_.setContextMenu(&menu_);
    icon_.setIcon(ProgramIcon());
    icon_.setToolTip(QStringLiteral("Plexivar"));
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) emit ToggleRequested();
            });
    animation_.setInterval(kFrameMs);
    connect(&animation_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kTrayFrames;
        icon_.setIcon(TrayFrame(frame_));
    });
    icon_.show();
}

void TrayIcon::SetRunning(bool running) {
    icon_.setToolTip(running ? QStringLiteral("Plexivar started")
                             : QStringLiteral("Plexivar stopped"));
    if (running) {
        if (!animation_.isActive()) animation_.start();
        return;
    }
    animation_.stop();
    frame_ = 0;
    icon_.setIcon(ProgramIcon());
}

void TrayIcon::ShowBalloon(const QString& title, const QString& text) {
    lastBalloon_ = text;
    icon_.showMessage(title, text, QSystemTrayIcon::Information, kBalloonMs);
}

}  // namespace plexivar::ui
