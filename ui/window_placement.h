// Where the main window and the dialogs open: the geometry saved under a name in the
// user's Qt settings (organisation and application "Plexivar", i.e.
// ~/.config/Plexivar/Plexivar.conf), and for the main window the rectangle of the ini
// file's "Window" section, which wins when it is given.
#pragma once

#include <QString>

#include "service/config/settings.h"

class QWidget;

namespace plexivar::ui {

// Names under which placements are kept.
inline constexpr const char* kMainPlacement = "Placement";
inline constexpr const char* kPreferencesPlacement = "PreferencesPlacement";
inline constexpr const char* kFoldersPlacement = "FolderConfigurationPlacement";

// Restores the geometry saved under `name`; false when none is saved.
bool RestorePlacement(QWidget* widget, const QString& name);
void SavePlacement(const QWidget* widget, const QString& name);
// Moves the window to the ini rectangle (Left, Top) and sizes it to (Right - Left) x
// (Bottom - Top) when `Top` is not -1. A rectangle without a positive size only moves it.
void ApplyWindowRectangle(QWidget* widget, const WindowPlacement& rectangle);

}  // namespace plexivar::ui
