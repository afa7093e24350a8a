#include "ui/preferences_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

#include "ui/dialog_fields.h"
#include "ui/eight_bit_text.h"
#include "ui/window_placement.h"

namespace plexivar::ui {
namespace {

using S = ServiceSettings;

constexpr int kSpecialTempFolder = 2;  // index of "Use special temp-folder"

QGroupBox* Group(const QString& title, QFormLayout*& form) {
    auto* group = new QGroupBox(title);  // owned by the layout it is added to
    form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    return group;
}

// A field between a leading and a trailing text, on one line.
QWidget* Framed(const QString& before, QWidget* field, const QString& after) {
    auto* row = new QWidget;  // owned by the form it is added to
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    if (!before.isEmpty()) layout->addWidget(new QLabel(before, row));
    field->setParent(row);
    field->setMaximumWidth(90);
    layout->addWidget(field);
    layout->addWidget(new QLabel(after, row), 1);
    return row;
}

}  // namespace

PreferencesDialog::PreferencesDialog(const ServiceSettings& settings,
                                     const std::vector<std::string>& locations, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setWindowTitle(QStringLiteral("General preferences"));
    setSizeGripEnabled(true);

    auto* content = new QWidget;  // owned by the dialog's scroll area
    auto* columns = new QHBoxLayout(content);
    auto* left = new QVBoxLayout;
    left->addWidget(BuildStartup());
    left->addWidget(BuildInput());
    left->addWidget(BuildOutput());
    left->addStretch(1);
    columns->addLayout(left, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildLogging());
    right->addStretch(1);
    columns->addLayout(right, 1);

    LayOutSettingsDialog(this, nullptr, content);

    Load(locations);
    for (const auto& flag : bound_.Flags())
        connect(flag.control, &QCheckBox::toggled, this, &PreferencesDialog::UpdateEnabling);
    connect(forceStrips_, &QCheckBox::toggled, this, &PreferencesDialog::UpdateEnabling);
    connect(buildUp_, &QComboBox::currentIndexChanged, this, &PreferencesDialog::UpdateEnabling);
    UpdateEnabling();

    resize(content->sizeHint() + QSize(40, 60));
    RestorePlacement(this, kPreferencesPlacement);
}

QWidget* PreferencesDialog::BuildStartup() {
    QFormLayout* form = nullptr;
    QGroupBox* group = Group(QStringLiteral("Startup"), form);
    form->addRow(bound_.Flag(MakeCheck(group, "AutoStart", "Autostart on load"), &S::AutoStart));
    form->addRow(bound_.Flag(MakeCheck(group, "MinimizeToTray", "Show icon in system tray"),
                      &S::MinimizeToTray));
    form->addRow(bound_.Flag(MakeCheck(group, "StartMinimized", "Start minimized"), &S::StartMinimized));
    form->addRow(Framed(QStringLiteral("Autostart input after"),
                        bound_.Integer(MakeIntegerField(group, "AutoStartMinutes"), &S::AutoStartMinutes),
                        QStringLiteral("minutes stop time (0:no autostart)")));
    return group;
}

QWidget* PreferencesDialog::BuildInput() {
    QFormLayout* form = nullptr;
    QGroupBox* group = Group(QStringLiteral("Input general settings"), form);
    form->addRow(QStringLiteral("Inputfile search mask"),
                 bound_.Text(MakeTextField(group, "SearchMask"), &S::SearchMask));
    pollTime_ = new QSpinBox(group);
    pollTime_->setObjectName("PollTime");
    pollTime_->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    pollTime_->setMaximumWidth(110);
    form->addRow(QStringLiteral("Poll interval"), pollTime_);
    form->addRow(QStringLiteral("Filename separators"),
                 bound_.Text(MakeTextField(group, "Separators"), &S::Separators));
    form->addRow(bound_.Flag(MakeCheck(group, "BypassPingTest", "Bypass ping-tests on folder access tests"),
                      &S::BypassPingTest));
    form->addRow(bound_.Flag(MakeCheck(group, "CreateFolders", "Create folders that does not exist"),
                      &S::CreateFolders));
    form->addRow(bound_.Flag(MakeCheck(group, "FireCommandOnFolderReconnectInput",
                                "Fire external command on input re-connect failure"),
                      &S::FireCommandOnFolderReconnectInput));
    form->addRow(QStringLiteral("Command file"),
                 bound_.Text(MakeTextField(group, "FolderReconnectCommandInput"),
                          &S::FolderReconnectCommandInput));
    form->addRow(bound_.Flag(MakeCheck(group, "FireCommandOnFolderReconnectOutput",
                                "Fire external command on output re-connect failure"),
                      &S::FireCommandOnFolderReconnectOutput));
    form->addRow(QStringLiteral("Command file"),
                 bound_.Text(MakeTextField(group, "FolderReconnectCommandOutput"),
                          &S::FolderReconnectCommandOutput));
    return group;
}

QWidget* PreferencesDialog::BuildOutput() {
    QFormLayout* form = nullptr;
    QGroupBox* group = Group(QStringLiteral("Output general settings"), form);
    form->addRow(QStringLiteral("Max files queued in output folder"),
                 Framed({}, bound_.Integer(MakeIntegerField(group, "MaxFilesInOutputFolder"),
                                       &S::MaxFilesInOutputFolder),
                        QStringLiteral("(0: Unlimited)")));
    buildUp_ = new QComboBox(group);
    buildUp_->setObjectName("UseTempPath");
    buildUp_->addItems({QStringLiteral("No temp-folder"), QStringLiteral("Use \\tmp sub-folder"),
                        QStringLiteral("Use special temp-folder")});
    form->addRow(QStringLiteral("File buildup method"), buildUp_);
    form->addRow(QStringLiteral("Special output temp folder"),
                 bound_.Text(MakeTextField(group, "TempPath"), &S::TempPath));
    forceStrips_ = MakeCheck(group, "ForceMultipleStrips", "Force multipe strip TIFF output (slower)");
    form->addRow(forceStrips_);
    linesPerStrip_ = MakeIntegerField(group, "RowsPerStrip");
    form->addRow(QStringLiteral("Lines per strip"), linesPerStrip_);
    form->addRow(QStringLiteral("Lines per datablock"),
                 bound_.Integer(MakeIntegerField(group, "Linebuffers"), &S::Linebuffers));
    form->addRow(bound_.Flag(MakeCheck(group, "ExtraTags", "Include extended tags"), &S::ExtraTags));
    form->addRow(bound_.Flag(MakeCheck(group, "RandomReverse", "Randomize line dir. (internal)"),
                      &S::RandomReverse));
    return group;
}

QWidget* PreferencesDialog::BuildLogging() {
    QFormLayout* form = nullptr;
    QGroupBox* group = Group(QStringLiteral("Logging"), form);
    form->addRow(bound_.Flag(MakeCheck(group, "Debug", "Write to debug log file"), &S::Debug));
    form->addRow(QStringLiteral("Logfile"), bound_.Text(MakeTextField(group, "LogFile"), &S::LogFile));
    form->addRow(bound_.Flag(MakeCheck(group, "Debug2", "Write job log file (csv)"), &S::Debug2));
    form->addRow(QStringLiteral("Logfile"), bound_.Text(MakeTextField(group, "LogFile2"), &S::LogFile2));
    form->addRow(bound_.Flag(MakeCheck(group, "LogToDatabase", "Log progress to Orvendal database"),
                      &S::LogToDatabase));
    form->addRow(QStringLiteral("Data source name"), bound_.Text(MakeTextField(group, "DSN"), &S::DSN));
    form->addRow(QStringLiteral("User name"), bound_.Text(MakeTextField(group, "DSNuser"), &S::DSNuser));
    QLineEdit* password = bound_.Text(MakeTextField(group, "DSNpw"), &S::DSNpw);
    password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Password"), password);
    form->addRow(bound_.Flag(MakeCheck(group, "KeepConnection", "Keep connection open"), &S::KeepConnection));
    location_ = new QComboBox(group);
    location_->setObjectName("LocationName");
    location_->setEditable(true);
    location_->setInsertPolicy(QComboBox::NoInsert);
    location_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    form->addRow(QStringLiteral("Location name"), location_);
    form->addRow(QStringLiteral("Process text"),
                 bound_.Text(MakeTextField(group, "ProcessText"), &S::ProcessText));
    form->addRow(bound_.Flag(MakeCheck(group, "RegisterAsBackup", "Register as backup process"),
                      &S::RegisterAsBackup));
    form->addRow(bound_.Flag(MakeCheck(group, "UpdateLog", "Add to history log (in database)"), &S::UpdateLog));
    form->addRow(QStringLiteral("Eventcode for success"),
                 bound_.Integer(MakeIntegerField(group, "EventCodeOK"), &S::EventCodeOK));
    form->addRow(QStringLiteral("Eventcode for failure"),
                 bound_.Integer(MakeIntegerField(group, "EventCodeFail"), &S::EventCodeFail));
    form->addRow(bound_.Flag(MakeCheck(group, "UpdateFlatPagetable", "Update Orvendal FlatPageTable status"),
                      &S::UpdateFlatPagetable));
    form->addRow(QStringLiteral("Statuscode job in progress"),
                 bound_.Integer(MakeIntegerField(group, "StatusCodeRunning"), &S::StatusCodeRunning));
    form->addRow(QStringLiteral("Statuscode for success"),
                 bound_.Integer(MakeIntegerField(group, "StatusCodeOK"), &S::StatusCodeOK));
    form->addRow(QStringLiteral("Statuscode for failure"),
                 bound_.Integer(MakeIntegerField(group, "StatusCodeError"), &S::StatusCodeError));
    form->addRow(QStringLiteral("Statuscode for warning"),
                 bound_.Integer(MakeIntegerField(group, "StatusCodeWarning"), &S::StatusCodeWarning));
    form->addRow(bound_.Flag(MakeCheck(group, "UpdateImagingErorStatus", "Set OV status 'Imaging Error' on failure"),
                      &S::UpdateImagingErorStatus));

    // The External Status settings are edited in the ini file only: their controls exist
    // to carry the values through, and are never shown.
    auto* external = new QWidget(group);
    external->setObjectName("ExternalStatus");
    auto* hidden = new QFormLayout(external);
    hidden->addRow(bound_.Flag(MakeCheck(external, "UpdateExternalStatus", "Update Orvendal External Status"),
                        &S::UpdateExternalStatus));
    hidden->addRow(QStringLiteral("External status for success"),
                   bound_.Integer(MakeIntegerField(external, "ExternalStatusOK"), &S::ExternalStatusOK));
    hidden->addRow(QStringLiteral("External status for failure"),
                   bound_.Integer(MakeIntegerField(external, "ExternalStatusFail"), &S::ExternalStatusFail));
    hidden->addRow(QStringLiteral("External status during job"),
                   bound_.Integer(MakeIntegerField(external, "ExternalStatusRunning"),
                              &S::ExternalStatusRunning));
    external->hide();
    return group;
}

void PreferencesDialog::Load(const std::vector<std::string>& locations) {
    bound_.Load(settings_);
    pollTime_->setValue(settings_.PollTime);
    // 0 and 1 are their own methods; every other value stages through TempPath.
    buildUp_->setCurrentIndex(settings_.UseTempPath == 0 || settings_.UseTempPath == 1
                                  ? settings_.UseTempPath
                                  : kSpecialTempFolder);
    forceStrips_->setChecked(settings_.RowsPerStrip > 0);
    SetInteger(linesPerStrip_, settings_.RowsPerStrip);
    for (const std::string& name : locations) location_->addItem(ShowBytes(name));
    SetFieldBytes(location_, settings_.LocationName);
}

QLineEdit* PreferencesDialog::FieldFor(const char* name) const {
    return findChild<QLineEdit*>(QString::fromLatin1(name));
}

void PreferencesDialog::UpdateEnabling() {
    const bool database = bound_.CheckFor(&S::LogToDatabase)->isChecked();
    const bool history = database && bound_.CheckFor(&S::UpdateLog)->isChecked();
    const bool pageStatus = database && bound_.CheckFor(&S::UpdateFlatPagetable)->isChecked();
    for (const char* name : {"DSN", "DSNuser", "DSNpw", "ProcessText"}) EnableField(FieldFor(name), database);
    EnableField(location_, database);
    for (auto key : {&S::KeepConnection, &S::UpdateLog, &S::UpdateFlatPagetable,
                     &S::UpdateImagingErorStatus})
        bound_.CheckFor(key)->setEnabled(database);
    for (const char* name : {"EventCodeOK", "EventCodeFail"}) EnableField(FieldFor(name), history);
    for (const char* name : {"StatusCodeRunning", "StatusCodeOK", "StatusCodeError", "StatusCodeWarning"})
        EnableField(FieldFor(name), pageStatus);
    EnableField(linesPerStrip_, forceStrips_->isChecked());
    EnableField(FieldFor("TempPath"), buildUp_->currentIndex() == kSpecialTempFolder);
    EnableField(FieldFor("FolderReconnectCommandInput"),
                bound_.CheckFor(&S::FireCommandOnFolderReconnectInput)->isChecked());
    EnableField(FieldFor("FolderReconnectCommandOutput"),
                bound_.CheckFor(&S::FireCommandOnFolderReconnectOutput)->isChecked());
    EnableField(FieldFor("LogFile"), bound_.CheckFor(&S::Debug)->isChecked());
    EnableField(FieldFor("LogFile2"), bound_.CheckFor(&S::Debug2)->isChecked());
}

ServiceSettings PreferencesDialog::Values() const {
    ServiceSettings values = settings_;
    bound_.Store(values);
    values.PollTime = pollTime_->value();
    // A value beyond 2 means the same as 2 and is kept as it was.
    const int method = buildUp_->currentIndex();
    const bool sameMethod = method == kSpecialTempFolder && settings_.UseTempPath != 0 &&
                            settings_.UseTempPath != 1;
    values.UseTempPath = sameMethod ? settings_.UseTempPath : method;
    const int lines = Integer(linesPerStrip_);
    values.RowsPerStrip = forceStrips_->isChecked() && lines > 0 ? lines : 0;
    values.LocationName = FieldBytes(location_);
    return values;
}

void PreferencesDialog::accept() {
    if (CheckNumbers(this)) QDialog::accept();
}

void PreferencesDialog::done(int result) {
    SavePlacement(this, kPreferencesPlacement);
    QDialog::done(result);
}

}  // namespace plexivar::ui
