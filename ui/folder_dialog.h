// "Folder configuration": the table of spoolers, at most 12, as a list ("On",
// "Inputfolder", "Outputfolder", "Fanout") with the commands "New..", "Copy..", "Edit.."
// and "Delete", and the editing area of one spooler. Works on a copy of the table;
// Spoolers() gives the edited table once the dialog is accepted.
//
// "New.." fills the area with a new spooler's values, "Copy.." with the selected
// spooler's, "Edit.." with the selected spooler (found by its input folder, ignoring
// case); the command's button then reads "Apply" and the others are disabled until the
// spooler passes its checks and is taken into the table. "Delete" removes, without asking,
// every spooler with the selected input folder. OK with a command pending asks "Apply
// changes?" first. Clicking the check mark of the "On" column changes only what the list
// shows.
#pragma once

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

#include "service/config/settings.h"

class QPushButton;
class QTreeWidget;

namespace plexivar::ui {

class SpoolerEditor;

class FolderDialog : public QDialog {
    Q_OBJECT
public:
    FolderDialog(const Settings& settings, QString programDir, QWidget* parent = nullptr);

    const std::vector<SpoolerSettings>& Spoolers() const { return table_; }

    void accept() override;
    void done(int result) override;

private:
    enum class Command { None, New, Copy, Edit };

    void Refill();
    void UpdateButtons();
    // Runs `command`: starts it when nothing is pending, applies it when it is.
    void Press(Command command);
    void Start(Command command);
    // Checks and takes the edited spooler into the table; false (after showing why) when
    // a check failed and the command stays pending.
    bool ApplyPending();
    void DeleteSelected();
    int SelectedRow() const;

    std::vector<SpoolerSettings> table_;
    Command pending_ = Command::None;
    SpoolerSettings base_;      // the record the pending command started from
    std::string editedFolder_;  // input folder of the spooler under "Edit.."
    QTreeWidget* list_ = nullptr;
    QPushButton* new_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* delete_ = nullptr;
    SpoolerEditor* editor_ = nullptr;
};

}  // namespace plexivar::ui
