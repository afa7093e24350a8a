// Driving the settings dialogs' widgets as an operator does: clicks, typing, and looking
// up which controls are enabled and which texts are shown.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <set>
#include <string>
#include <vector>

namespace plexivar::testing {

// A left click in the middle of the button.
void Click(QAbstractButton* button);
// Selects the field's text and types `text` over it.
void Type(QLineEdit* field, const QString& text);
// Sets a check box to `on` by clicking it when it is not.
void SetChecked(QAbstractButton* box, bool on);
void Choose(QComboBox* list, int index);

// The names among `names` whose control below `root` is enabled.
std::set<std::string> EnabledAmong(const QWidget& root, const std::vector<std::string>& names);
// Whether `text` is shown below `root`: as a label, button, group title, list entry or
// column title ("&" mnemonics ignored).
bool ShowsText(const QWidget& root, const QString& text);

}  // namespace plexivar::testing
