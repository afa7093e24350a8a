#include "ui/dialog_fields.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QIntValidator>
#include <QLabel>
#include <QLocale>
#include <QScrollArea>
#include <QVBoxLayout>

#include <optional>

#include "ui/message_boxes.h"

namespace plexivar::ui {
namespace {

constexpr const char* kKindProperty = "plexivarNumber";
constexpr const char* kInteger = "integer";
constexpr const char* kReal = "real";

QLocale NumberLocale() {
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator | QLocale::OmitGroupSeparator);
    return c;
}

QLineEdit* MakeNumberField(QWidget* parent, const QString& name, const char* kind,
                           QValidator* validator) {
    QLineEdit* field = MakeTextField(parent, name);
    validator->setLocale(NumberLocale());
    field->setValidator(validator);
    field->setProperty(kKindProperty, QString::fromLatin1(kind));
    field->setAlignment(Qt::AlignRight);
    return field;
}

struct InvalidNumber {
    QLineEdit* field;
    QString message;
};

std::optional<InvalidNumber> FirstInvalidNumber(const QWidget* root) {
    for (QLineEdit* field : root->findChildren<QLineEdit*>()) {
        const QString kind = field->property(kKindProperty).toString();
        if (kind.isEmpty() || field->hasAcceptableInput()) continue;
        return InvalidNumber{field, kind == QLatin1String(kInteger)
                                        ? QStringLiteral("Please enter an integer.")
                                        : QStringLiteral("Please enter a number.")};
    }
    return std::nullopt;
}

}  // namespace

QLineEdit* MakeTextField(QWidget* parent, const QString& name) {
    auto* field = new QLineEdit(parent);  // owned by the dialog
    field->setObjectName(name);
    field->setMaxLength(kMaxIniText);
    return field;
}

QCheckBox* MakeCheck(QWidget* parent, const QString& name, const QString& text) {
    auto* check = new QCheckBox(text, parent);  // owned by the dialog
    check->setObjectName(name);
    return check;
}

QLineEdit* MakeIntegerField(QWidget* parent, const QString& name) {
    // Validators are owned by the dialog too.
    return MakeNumberField(parent, name, kInteger, new QIntValidator(parent));
}

QLineEdit* MakeRealField(QWidget* parent, const QString& name) {
    auto* validator = new QDoubleValidator(parent);
    validator->setNotation(QDoubleValidator::StandardNotation);
    return MakeNumberField(parent, name, kReal, validator);
}

void SetInteger(QLineEdit* field, int value) { field->setText(QString::number(value)); }

int Integer(const QLineEdit* field) { return field->text().toInt(); }

void SetReal(QLineEdit* field, double value) { field->setText(QString::number(value, 'g', 15)); }

double Real(const QLineEdit* field) { return field->text().toDouble(); }

void LayOutSettingsDialog(QDialog* dialog, QLayout* top, QWidget* content) {
    auto* scroll = new QScrollArea(dialog);  // owned by the dialog, as everything below
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(dialog);
    if (top) layout->addLayout(top);
    layout->addWidget(scroll, 1);
    layout->addWidget(buttons);
}

void EnableField(QWidget* field, bool enabled) {
    field->setEnabled(enabled);
    if (QWidget* parent = field->parentWidget())
        for (QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            if (label->buddy() == field) label->setEnabled(enabled);
}

bool CheckNumbers(QWidget* dialog) {
    const std::optional<InvalidNumber> invalid = FirstInvalidNumber(dialog);
    if (!invalid) return true;
    ShowBox(dialog, MessageIcon::Warning, invalid->message);
    invalid->field->setFocus();
    invalid->field->selectAll();
    return false;
}

}  // namespace plexivar::ui
