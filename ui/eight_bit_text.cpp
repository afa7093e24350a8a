#include "ui/eight_bit_text.h"

#include <QComboBox>
#include <QLineEdit>
#include <QVariant>

namespace plexivar::ui {
namespace {

constexpr const char* kBytesProperty = "plexivarBytes";

std::string BytesFor(const QObject* field, const QString& text) {
    const QVariant kept = field->property(kBytesProperty);
    if (kept.isValid()) {
        const std::string bytes = kept.toByteArray().toStdString();
        if (ShowBytes(bytes) == text) return bytes;
    }
    return text.toUtf8().toStdString();
}

}  // namespace

QString ShowBytes(const std::string& bytes) {
    const QByteArray data = QByteArray::fromStdString(bytes);
    const QString utf8 = QString::fromUtf8(data);
    if (utf8.toUtf8() == data) return utf8;
    return QString::fromLatin1(data);
}

void SetFieldBytes(QLineEdit* field, const std::string& bytes) {
    field->setProperty(kBytesProperty, QByteArray::fromStdString(bytes));
    field->setText(ShowBytes(bytes));
}

void SetFieldBytes(QComboBox* field, const std::string& bytes) {
    field->setProperty(kBytesProperty, QByteArray::fromStdString(bytes));
    // The list entry that equals the text is selected; any other text is typed in.
    const QString text = ShowBytes(bytes);
    const int entry = field->findText(text);
    if (entry >= 0)
        field->setCurrentIndex(entry);
    else
        field->setCurrentText(text);
}

std::string FieldBytes(const QLineEdit* field) { return BytesFor(field, field->text()); }

std::string FieldBytes(const QComboBox* field) { return BytesFor(field, field->currentText()); }

}  // namespace plexivar::ui
