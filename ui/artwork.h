// The window's pictures, drawn by the program: the spooler images, the program icon, the
// four frames of the tray animation and the Start and Stop tool bar icons.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace plexivar::ui {

inline constexpr int kSpoolerImageSize = 48;  // pixels, square
inline constexpr int kTrayFrames = 4;

// A hot folder: 0 enabled and idle, 1 being searched, 2 disabled (any other value draws
// the idle image). Transparent where nothing is drawn.
QPixmap SpoolerImage(int image);
// A plate carrying the four inks; in several sizes for window, task bar and About box.
QIcon ProgramIcon();
// Frame `frame` (0..3) of the tray animation: the program icon with one ink lit.
QIcon TrayFrame(int frame);
QIcon StartIcon();
QIcon StopIcon();

}  // namespace plexivar::ui
