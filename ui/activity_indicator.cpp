#include "ui/activity_indicator.h"

#include <QPainter>

#include <cmath>
#include <numbers>

namespace plexivar::ui {

ActivityIndicator::ActivityIndicator(QWidget* parent) : QWidget(parent) {
    setFixedSize(kSize, kSize);
    timer_.setInterval(kFrameMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kFrames;
        update();
    });
}

void ActivityIndicator::SetPlaying(bool playing) {
    if (playing == Playing()) return;
    if (playing)
        timer_.start();
    else
        timer_.stop();
    update();
}

void ActivityIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor lit = Playing() ? QColor(0, 150, 0) : palette().color(QPalette::Mid);
    const QColor dim = palette().color(QPalette::Midlight);
    const double centre = kSize / 2.0;
    const double radius = kSize / 2.0 - 2.0;
    for (int i = 0; i < kFrames; ++i) {
        const double angle = 2.0 * std::numbers::pi * i / kFrames - std::numbers::pi / 2.0;
        painter.setBrush(i == frame_ ? lit : dim);
        painter.drawEllipse(QPointF(centre + radius * std::cos(angle),
                                    centre + radius * std::sin(angle)),
                            1.6, 1.6);
    }
}

}  // namespace plexivar::ui
