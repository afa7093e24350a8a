// The window's message boxes, titled "Plexivar". Tests replace them: while a
// ScriptedMessageBoxes object lives, no box is shown; each message is recorded and each
// question takes the next scripted answer.
#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

class QWidget;

namespace plexivar::ui {

enum class MessageIcon { Error, Warning, Information };

// A modal box with an OK button; returns when it is closed.
void ShowBox(QWidget* parent, MessageIcon icon, const QString& text);
// A modal Yes/No question; true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);
// A box that does not wait: shown over `parent` and gone when closed. For messages that
// arrive while the window is busy replaying the service's reports.
void OpenBox(QWidget* parent, MessageIcon icon, const QString& text);

class ScriptedMessageBoxes {
public:
    struct Message {
        MessageIcon icon;
        QString text;
        bool question;
    };

    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes();
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    // The answer to the next question not yet asked; questions without one get Yes.
    void AnswerNext(bool yes) { answers_.push_back(yes); }
    const std::vector<Message>& Messages() const { return messages_; }
    QStringList Texts() const;
    void Clear() { messages_.clear(); }

    // Used by the functions above.
    static ScriptedMessageBoxes* Active();
    bool Record(MessageIcon icon, const QString& text, bool question);

private:
    std::vector<Message> messages_;
    std::deque<bool> answers_;
};

}  // namespace plexivar::ui
