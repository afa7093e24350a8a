// Settings, paths and file names are 8-bit strings used as bytes: usually UTF-8, but names
// and ini values written on Windows clients may be Windows-1252. These conversions show
// such text readably and give back exactly the bytes that came in when the operator left
// the text as it was, so a dialog that is confirmed unchanged never rewrites a folder name.
#pragma once

#include <QString>

#include <string>

class QLineEdit;
class QComboBox;

namespace plexivar::ui {

// UTF-8 when the bytes are valid UTF-8, else Latin-1 (every byte kept as one character).
QString ShowBytes(const std::string& bytes);

// Puts `bytes` into the field and remembers them. In a list the entry that shows them is
// selected when there is one.
void SetFieldBytes(QLineEdit* field, const std::string& bytes);
void SetFieldBytes(QComboBox* field, const std::string& bytes);
// The field's text as bytes: the remembered bytes when the text shows them unchanged,
// else the text in UTF-8.
std::string FieldBytes(const QLineEdit* field);
std::string FieldBytes(const QComboBox* field);

}  // namespace plexivar::ui
