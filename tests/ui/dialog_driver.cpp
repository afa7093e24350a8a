#include "tests/ui/dialog_driver.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace plexivar::testing {

void Click(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    // A check box or radio button takes clicks on its mark and text only, which may end
    // well before the right edge of a wide row: click its mark.
    const bool marked = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
    const QPoint at = marked ? QPoint(6, button->height() / 2) : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

void Type(QLineEdit* field, const QString& text) {
    ASSERT_NE(field, nullptr);
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

void SetChecked(QAbstractButton* box, bool on) {
    ASSERT_NE(box, nullptr);
    if (box->isChecked() != on) Click(box);
    EXPECT_EQ(box->isChecked(), on) << box->objectName().toStdString();
}

void Choose(QComboBox* list, int index) {
    ASSERT_NE(list, nullptr);
    list->setCurrentIndex(index);
}

std::set<std::string> EnabledAmong(const QWidget& root, const std::vector<std::string>& names) {
    std::set<std::string> enabled;
    for (const std::string& name : names) {
        const auto* control = root.findChild<QWidget*>(QString::fromStdString(name));
        EXPECT_NE(control, nullptr) << name;
        if (control && control->isEnabled()) enabled.insert(name);
    }
    return enabled;
}

bool ShowsText(const QWidget& root, const QString& text) {
    const auto plain = [](QString s) { return s.remove(QLatin1Char('&')); };
    for (const QLabel* label : root.findChildren<QLabel*>())
        if (label->text() == text) return true;
    for (const QAbstractButton* button : root.findChildren<QAbstractButton*>())
        if (plain(button->text()) == text) return true;
    for (const QGroupBox* group : root.findChildren<QGroupBox*>())
        if (group->title() == text) return true;
    for (const QComboBox* list : root.findChildren<QComboBox*>())
        if (list->findText(text) >= 0) return true;
    for (const QTreeWidget* tree : root.findChildren<QTreeWidget*>())
        for (int c = 0; c < tree->columnCount(); ++c)
            if (tree->headerItem()->text(c) == text) return true;
    return false;
}

}  // namespace plexivar::testing
