#include "ui/artwork.h"

#include <QPainter>
#include <QPainterPath>

#include <array>
#include <functional>

namespace plexivar::ui {
namespace {

const std::array<QColor, 4> kInks = {QColor(0, 174, 239), QColor(236, 0, 140),
                                     QColor(255, 222, 0), QColor(35, 31, 32)};

QPixmap Blank(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A folder with its tab, filling a 48 x 48 square.
void DrawFolder(QPainter& p, const QColor& body) {
    QPainterPath tab;
    tab.addRoundedRect(QRectF(4, 8, 18, 10), 2, 2);
    p.setPen(QPen(body.darker(150), 1.5));
    p.setBrush(body.darker(115));
    p.drawPath(tab);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(3, 13, 42, 28), 3, 3);
    // A sheet standing in the folder: what the spooler watches for.
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(12, 6, 20, 14));
}

// The plate with its four ink stripes; `lit` (0..3) draws that stripe brighter and the
// others faded, -1 draws them all plainly.
QPixmap Plate(int size, int lit) {
    QPixmap pixmap = Blank(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    p.scale(s, s);
    p.setPen(QPen(QColor(70, 70, 80), 1.2));
    p.setBrush(QColor(214, 218, 224));
    p.drawRoundedRect(QRectF(2, 2, 28, 28), 3, 3);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        QColor ink = kInks[static_cast<std::size_t>(i)];
        if (lit >= 0 && i != lit) ink.setAlpha(90);
        p.setBrush(ink);
        p.drawRect(QRectF(6 + i * 5.5, 6, 4.5, 20));
    }
    return pixmap;
}

// A 24 x 24 tool bar symbol drawn by `shape` in `colour`, outlined a shade darker.
QIcon ToolIcon(const QColor& colour, const std::function<void(QPainter&)>& shape) {
    QPixmap pixmap = Blank(24);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour.darker(160), 1));
    p.setBrush(colour);
    shape(p);
    return QIcon(pixmap);
}

}  // namespace

QPixmap SpoolerImage(int image) {
    QPixmap pixmap = Blank(kSpoolerImageSize);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (image == 2) {
        DrawFolder(p, QColor(190, 190, 190));
        p.setPen(QPen(QColor(200, 0, 0), 4, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(34, 33), 10, 10);
        p.drawLine(QPointF(27, 40), QPointF(41, 26));
        return pixmap;
    }
    DrawFolder(p, QColor(92, 142, 196));
    if (image == 1) {
        // A magnifying glass over the folder.
        p.setPen(QPen(QColor(230, 120, 0), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(38, 39), QPointF(45, 46));
        p.setPen(QPen(QColor(230, 120, 0), 3));
        p.setBrush(QColor(255, 255, 255, 170));
        p.drawEllipse(QPointF(31, 31), 8, 8);
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 160, 60));
        p.drawEllipse(QPointF(38, 36), 6, 6);
    }
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(Plate(size, -1));
    return icon;
}

QIcon TrayFrame(int frame) {
    QIcon icon;
    for (int size : {16, 22, 32, 48}) icon.addPixmap(Plate(size, frame % kTrayFrames));
    return icon;
}

QIcon StartIcon() {
    return ToolIcon(QColor(40, 170, 40), [](QPainter& p) {
        p.drawPolygon(QPolygonF({QPointF(6, 4), QPointF(20, 12), QPointF(6, 20)}));
    });
}

QIcon StopIcon() {
    return ToolIcon(QColor(210, 30, 30),
                    [](QPainter& p) { p.drawRoundedRect(QRectF(5, 5, 14, 14), 2, 2); });
}

}  // namespace plexivar::ui
