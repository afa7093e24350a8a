// The About box: the program icon, "Plexivar Version 1.6.4" and a "Close" button.
#pragma once

class QWidget;

namespace plexivar::ui {

// Shows the box modally over `parent`.
void ShowAboutBox(QWidget* parent);

}  // namespace plexivar::ui
