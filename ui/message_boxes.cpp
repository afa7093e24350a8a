#include "ui/message_boxes.h"

#include <QMessageBox>

namespace plexivar::ui {
namespace {

const char* const kTitle = "Plexivar";
ScriptedMessageBoxes* g_script = nullptr;  // user-interface thread only

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error: return QMessageBox::Critical;
        case MessageIcon::Warning: return QMessageBox::Warning;
        default: return QMessageBox::Information;
    }
}

}  // namespace

ScriptedMessageBoxes::ScriptedMessageBoxes() { g_script = this; }
ScriptedMessageBoxes::~ScriptedMessageBoxes() { g_script = nullptr; }
ScriptedMessageBoxes* ScriptedMessageBoxes::Active() { return g_script; }

QStringList ScriptedMessageBoxes::Texts() const {
    QStringList texts;
    for (const Message& m : messages_) texts << m.text;
    return texts;
}

bool ScriptedMessageBoxes::Record(MessageIcon icon, const QString& text, bool question) {
    messages_.push_back({icon, text, question});
    if (!question || answers_.empty()) return true;
    const bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

void ShowBox(QWidget* parent, MessageIcon icon, const QString& text) {
    if (ScriptedMessageBoxes* script = ScriptedMessageBoxes::Active()) {
        script->Record(icon, text, false);
        return;
    }
    QMessageBox box(BoxIcon(icon), kTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

bool AskYesNo(QWidget* parent, const QString& text) {
    if (ScriptedMessageBoxes* script = ScriptedMessageBoxes::Active())
        return script->Record(MessageIcon::Information, text, true);
    return QMessageBox::question(parent, kTitle, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

void OpenBox(QWidget* parent, MessageIcon icon, const QString& text) {
    if (ScriptedMessageBoxes* script = ScriptedMessageBoxes::Active()) {
        script->Record(icon, text, false);
        return;
    }
    // Owned by `parent` until closed; deletes itself then.
    auto* box = new QMessageBox(BoxIcon(icon), kTitle, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace plexivar::ui
