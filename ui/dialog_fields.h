// Fields of the settings dialogs. Number fields take only what can become a number (C
// locale: "." is the decimal point whatever the desktop's language); a field left empty or
// half-typed ("-") keeps the dialog from being accepted. Text fields hold at most the 254
// characters that an ini value keeps when it is read back.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QString>

class QDialog;
class QLayout;
class QWidget;

namespace plexivar::ui {

inline constexpr int kMaxIniText = 254;

// `name` becomes the control's object name (the ini key it edits).
QLineEdit* MakeTextField(QWidget* parent, const QString& name);
QCheckBox* MakeCheck(QWidget* parent, const QString& name, const QString& text);
QLineEdit* MakeIntegerField(QWidget* parent, const QString& name);
QLineEdit* MakeRealField(QWidget* parent, const QString& name);

void SetInteger(QLineEdit* field, int value);
// 0 for a field that holds no number.
int Integer(const QLineEdit* field);
// Shortest form that gives the value back: 1270 -> "1270", 99.5 -> "99.5".
void SetReal(QLineEdit* field, double value);
double Real(const QLineEdit* field);

// Lays out a settings dialog: `top` (when given) above `content`, which sits in a scroll
// area that takes the dialog's growth, and OK and Cancel below, bound to accept and reject.
void LayOutSettingsDialog(QDialog* dialog, QLayout* top, QWidget* content);

// Enables or disables a control together with the label that names it.
void EnableField(QWidget* field, bool enabled);

// Shows "Please enter an integer." or "Please enter a number." for the first number field
// below `dialog` that does not hold a complete number, and puts the cursor in it. True
// when every number field is valid.
bool CheckNumbers(QWidget* dialog);

}  // namespace plexivar::ui
