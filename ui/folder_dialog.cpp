#include "ui/folder_dialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/text.h"
#include "ui/dialog_fields.h"
#include "ui/eight_bit_text.h"
#include "ui/message_boxes.h"
#include "ui/spooler_checks.h"
#include "ui/spooler_editor.h"
#include "ui/window_placement.h"

namespace plexivar::ui {
namespace {

enum ListColumn { kOn, kInput, kOutput, kFanout };
const int kListWidths[] = {40, 300, 300, 80};

QString YesNo(int flag) { return flag != 0 ? QStringLiteral("Yes") : QStringLiteral("No"); }

}  // namespace

FolderDialog::FolderDialog(const Settings& settings, QString programDir, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Folder configuration"));
    setSizeGripEnabled(true);
    const int count = std::clamp(settings.service.NumberOfSpoolers, 0, MaxSpoolers);
    table_.assign(settings.spoolers.begin(), settings.spoolers.begin() + count);

    list_ = new QTreeWidget(this);
    list_->setObjectName("SpoolerList");
    list_->setRootIsDecorated(false);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHeaderLabels({QStringLiteral("On"), QStringLiteral("Inputfolder"),
                            QStringLiteral("Outputfolder"), QStringLiteral("Fanout")});
    for (int c = kOn; c <= kFanout; ++c) list_->setColumnWidth(c, kListWidths[c]);
    list_->setMinimumHeight(120);

    auto* commands = new QVBoxLayout;
    new_ = new QPushButton(QStringLiteral("New.."), this);
    new_->setObjectName("NewButton");
    copy_ = new QPushButton(QStringLiteral("Copy.."), this);
    copy_->setObjectName("CopyButton");
    edit_ = new QPushButton(QStringLiteral("Edit.."), this);
    edit_->setObjectName("EditButton");
    delete_ = new QPushButton(QStringLiteral("Delete"), this);
    delete_->setObjectName("DeleteButton");
    for (QPushButton* b : {new_, copy_, edit_, delete_}) {
        b->setAutoDefault(false);
        commands->addWidget(b);
    }
    commands->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(list_, 1);
    top->addLayout(commands);

    editor_ = new SpoolerEditor(settings.service.LogToDatabase != 0, std::move(programDir));
    editor_->setObjectName("EditingArea");
    LayOutSettingsDialog(this, top, editor_);

    connect(new_, &QPushButton::clicked, this, [this] { Press(Command::New); });
    connect(copy_, &QPushButton::clicked, this, [this] { Press(Command::Copy); });
    connect(edit_, &QPushButton::clicked, this, [this] { Press(Command::Edit); });
    connect(delete_, &QPushButton::clicked, this, &FolderDialog::DeleteSelected);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &FolderDialog::UpdateButtons);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (pending_ == Command::None && SelectedRow() >= 0) Start(Command::Edit);
    });

    editor_->SetAreaEnabled(false);
    Refill();
    // The list is where the operator starts: arrow keys pick a spooler at once.
    list_->setFocus();
    resize(1200, 820);
    RestorePlacement(this, kFoldersPlacement);
}

void FolderDialog::Refill() {
    list_->clear();
    for (const SpoolerSettings& s : table_) {
        auto* item = new QTreeWidgetItem(list_);  // owned by the list
        item->setText(kOn, YesNo(s.Enable));
        item->setCheckState(kOn, s.Enable != 0 ? Qt::Checked : Qt::Unchecked);
        item->setText(kInput, ShowBytes(s.InputFolder));
        item->setToolTip(kInput, ShowBytes(s.InputFolder));
        item->setText(kOutput, ShowBytes(s.OutputFolder));
        item->setToolTip(kOutput, ShowBytes(s.OutputFolder));
        item->setText(kFanout, YesNo(s.EnableScaling));
    }
    // "On" starts 40 pixels wide, more when its mark and text need it.
    list_->resizeColumnToContents(kOn);
    list_->setColumnWidth(kOn, std::max(list_->columnWidth(kOn), kListWidths[kOn]));
    UpdateButtons();
}

int FolderDialog::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.front());
}

void FolderDialog::UpdateButtons() {
    const bool idle = pending_ == Command::None;
    const bool selected = SelectedRow() >= 0;
    new_->setText(pending_ == Command::New ? QStringLiteral("Apply") : QStringLiteral("New.."));
    copy_->setText(pending_ == Command::Copy ? QStringLiteral("Apply") : QStringLiteral("Copy.."));
    edit_->setText(pending_ == Command::Edit ? QStringLiteral("Apply") : QStringLiteral("Edit.."));
    new_->setEnabled(idle || pending_ == Command::New);
    copy_->setEnabled((idle && selected) || pending_ == Command::Copy);
    edit_->setEnabled((idle && selected) || pending_ == Command::Edit);
    delete_->setEnabled(idle && selected);
}

void FolderDialog::Press(Command command) {
    if (pending_ == command)
        ApplyPending();
    else if (pending_ == Command::None)
        Start(command);
}

void FolderDialog::Start(Command command) {
    const int row = SelectedRow();
    if (command != Command::New && row < 0) return;
    if (command != Command::Edit && static_cast<int>(table_.size()) >= MaxSpoolers) {
        ShowBox(this, MessageIcon::Warning,
                QStringLiteral("No more than %1 spoolers can be configured").arg(MaxSpoolers));
        return;
    }
    if (command == Command::New) {
        base_ = SpoolerSettings{};
        editor_->LoadNewSpooler();
    } else {
        const std::string folder = table_[static_cast<std::size_t>(row)].InputFolder;
        const int found = command == Command::Edit ? FindSpooler(table_, folder) : row;
        base_ = table_[static_cast<std::size_t>(found)];
        editedFolder_ = folder;
        editor_->Load(base_);
    }
    pending_ = command;
    editor_->SetAreaEnabled(true);
    UpdateButtons();
}

bool FolderDialog::ApplyPending() {
    if (pending_ == Command::None) return true;
    if (!CheckNumbers(editor_)) return false;
    SpoolerSettings spooler = base_;
    editor_->Store(spooler);
    const bool edit = pending_ == Command::Edit;
    const std::string problem = CheckSpooler(spooler, table_, !edit);
    if (!problem.empty()) {
        ShowBox(this, MessageIcon::Warning, ShowBytes(problem));
        return false;
    }
    const int target = edit ? FindSpooler(table_, editedFolder_) : -1;
    if (target >= 0)
        table_[static_cast<std::size_t>(target)] = spooler;
    else
        table_.push_back(spooler);
    pending_ = Command::None;
    editor_->SetAreaEnabled(false);
    Refill();
    // The list is where the operator starts: arrow keys pick a spooler at once.
    list_->setFocus();
    return true;
}

void FolderDialog::DeleteSelected() {
    const int row = SelectedRow();
    if (pending_ != Command::None || row < 0) return;
    const std::string folder = table_[static_cast<std::size_t>(row)].InputFolder;
    std::erase_if(table_, [&](const SpoolerSettings& s) {
        return platform::EqualsIgnoreCase(s.InputFolder, folder);
    });
    Refill();
}

void FolderDialog::accept() {
    // A pending command is applied on Yes; if its checks fail, it is dropped and the
    // dialog closes all the same.
    if (pending_ != Command::None && AskYesNo(this, QStringLiteral("Apply changes?")))
        ApplyPending();
    QDialog::accept();
}

void FolderDialog::done(int result) {
    SavePlacement(this, kFoldersPlacement);
    QDialog::done(result);
}

}  // namespace plexivar::ui
