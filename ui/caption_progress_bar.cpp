#include "ui/caption_progress_bar.h"

#include <QPainter>

#include <algorithm>

namespace plexivar::ui {

CaptionProgressBar::CaptionProgressBar(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The whole bar is painted every time: no background needs to be erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize CaptionProgressBar::sizeHint() const {
    return {200, fontMetrics().height() + 6};
}

int CaptionProgressBar::FilledWidth() const { return width() * position_ / 100; }

QString CaptionProgressBar::DisplayText() const {
    return caption_.isEmpty() ? QStringLiteral("%1%").arg(position_) : caption_;
}

void CaptionProgressBar::SetPosition(int percent) {
    position_ = std::clamp(percent, 0, 100);
    if (FilledWidth() != paintedFill_ || DisplayText() != paintedText_) update();
}

void CaptionProgressBar::SetCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    update();
}

void CaptionProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor highlight = palette().color(QPalette::Highlight);
    const QColor window = palette().color(QPalette::Base);
    const int fill = FilledWidth();
    const QString text = DisplayText();
    paintedFill_ = fill;
    paintedText_ = text;
    const QRect filled(0, 0, fill, height());
    const QRect rest(fill, 0, width() - fill, height());
    painter.fillRect(filled, highlight);
    painter.fillRect(rest, window);

    // The caption twice, each clipped to one part, in that part's inverse colour.
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    painter.setClipRect(filled);
    painter.setPen(window);
    painter.drawText(rect(), flags, text);
    painter.setClipRect(rest);
    painter.setPen(highlight);
    painter.drawText(rect(), flags, text);
}

}  // namespace plexivar::ui
