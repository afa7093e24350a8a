#include "ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <tiffio.h>

#include <algorithm>

#include "service/report/job_record.h"
#include "service/status/status_reporting.h"
#include "ui/about_box.h"
#include "ui/activity_indicator.h"
#include "ui/artwork.h"
#include "ui/caption_progress_bar.h"
#include "ui/dropped_files.h"
#include "ui/eight_bit_text.h"
#include "ui/folder_dialog.h"
#include "ui/message_boxes.h"
#include "ui/preferences_dialog.h"
#include "ui/queued_view.h"
#include "ui/spooler_icons.h"
#include "ui/status_table_model.h"
#include "ui/tray_icon.h"
#include "ui/window_placement.h"

namespace plexivar::ui {
namespace {

constexpr int kCommandPollMs = 250;
constexpr int kHeaderMinimumHeight = 18;

// While a settings dialog is open the automatic start holds off; its countdown starts
// again from the moment the dialog opened and from the moment it closed.
class SettingsDialogScope {
public:
    explicit SettingsDialogScope(ServiceRuntime& runtime) : runtime_(runtime) {
        runtime_.flags().settingsOpen = 1;
        runtime_.flags().runStateTime = runtime_.context().clock.Now();
    }
    ~SettingsDialogScope() {
        runtime_.flags().runStateTime = runtime_.context().clock.Now();
        runtime_.flags().settingsOpen = 0;
    }
    SettingsDialogScope(const SettingsDialogScope&) = delete;
    SettingsDialogScope& operator=(const SettingsDialogScope&) = delete;

private:
    ServiceRuntime& runtime_;
};

QLineEdit* ReadOnlyLine(QWidget* parent, const char* name) {
    auto* line = new QLineEdit(parent);  // owned by the window
    line->setObjectName(name);
    line->setReadOnly(true);
    line->setFocusPolicy(Qt::ClickFocus);
    return line;
}

}  // namespace

MainWindow::MainWindow(ServiceRuntime& runtime, QueuedView& view, WindowOptions options)
    : runtime_(runtime), view_(view), options_(std::move(options)) {
    setObjectName("MainWindow");
    setWindowTitle(QStringLiteral("Plexivar - Bitmap Scaling Unit"));
    setWindowIcon(ProgramIcon());
    BuildCommands();
    BuildCentre();
    activity_ = new ActivityIndicator(this);
    activity_->setObjectName("activity");
    statusBar()->addPermanentWidget(activity_);
    resize(980, 640);

    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, &MainWindow::UpdateCommands);
    poll->start(kCommandPollMs);
    view_.SetTarget(this);
    UpdateCommands();
}

MainWindow::~MainWindow() {
    view_.SetTarget(nullptr);
    if (helper_.joinable()) helper_.join();
    // The spooler and autostart threads use the database link and report through the
    // status recorder: they end first (closing the window has done this already).
    if (!shutDown_) runtime_.ShutDown();
    status_.reset();
}

void MainWindow::BuildCommands() {
    const auto make = [this](const char* name, const QString& text, const QString& tip) {
        auto* action = new QAction(text, this);
        action->setObjectName(name);
        action->setStatusTip(tip);
        return action;
    };
    preferences_ = make("actionPreferences", QStringLiteral("Preferences...."),
                        QStringLiteral("Edit the general preferences"));
    folders_ = make("actionFolders", QStringLiteral("Folder configuration...."),
                    QStringLiteral("Edit the spoolers' folders and scaling"));
    exit_ = make("actionExit", QStringLiteral("Exit"), QStringLiteral("Stop the spoolers and quit"));
    exit_->setShortcut(QKeySequence::Quit);
    start_ = make("actionStart", QStringLiteral("Start"), QStringLiteral("Start the spoolers"));
    start_->setIcon(StartIcon());
    stop_ = make("actionStop", QStringLiteral("Stop"), QStringLiteral("Stop the spoolers"));
    stop_->setIcon(StopIcon());
    about_ = make("actionAbout", QStringLiteral("About Plexivar...."),
                  QStringLiteral("Show the program version"));

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(preferences_);
    file->addAction(folders_);
    file->addSeparator();
    file->addAction(exit_);
    QMenu* action = menuBar()->addMenu(QStringLiteral("&Action"));
    action->addAction(start_);
    action->addAction(stop_);
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(about_);
    for (QMenu* menu : {file, action})
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::UpdateCommands);

    QToolBar* bar = addToolBar(QStringLiteral("Action"));
    bar->setObjectName("Action");
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setMovable(false);
    bar->addAction(start_);
    bar->addAction(stop_);

    connect(preferences_, &QAction::triggered, this, &MainWindow::OpenPreferences);
    connect(folders_, &QAction::triggered, this, &MainWindow::OpenFolders);
    connect(exit_, &QAction::triggered, this, &QWidget::close);
    connect(start_, &QAction::triggered, this, &MainWindow::ToggleSpoolers);
    connect(stop_, &QAction::triggered, this, &MainWindow::ToggleSpoolers);
    connect(about_, &QAction::triggered, this, &MainWindow::ShowAbout);
}

void MainWindow::BuildCentre() {
    auto* centre = new QWidget(this);
    auto* layout = new QVBoxLayout(centre);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    progress_ = new CaptionProgressBar(centre);
    progress_->setObjectName("progress");
    icons_ = new SpoolerIcons(centre);
    icons_->setObjectName("spoolerIcons");
    connect(icons_, &SpoolerIcons::IconClicked, this, &MainWindow::OnIconClicked);
    connect(icons_, &SpoolerIcons::FilesDropped, this, &MainWindow::OnFilesDropped);
    statusLine_ = ReadOnlyLine(centre, "statusLine");

    jobs_ = new StatusTableModel(this);
    statusList_ = new QTableView(centre);
    statusList_->setObjectName("statusList");
    statusList_->setModel(jobs_);
    statusList_->setShowGrid(true);
    statusList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    statusList_->setSelectionMode(QAbstractItemView::SingleSelection);
    statusList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    statusList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    statusList_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    statusList_->setWordWrap(false);
    statusList_->verticalHeader()->hide();
    statusList_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    statusList_->horizontalHeader()->setMinimumHeight(kHeaderMinimumHeight);
    statusList_->horizontalHeader()->setStretchLastSection(true);
    statusList_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < StatusTableModel::kColumnCount; ++c)
        statusList_->setColumnWidth(c, StatusTableModel::kColumnWidths[c]);

    errorLine_ = ReadOnlyLine(centre, "errorLine");

    layout->addWidget(progress_);
    layout->addWidget(icons_);
    layout->addWidget(statusLine_);
    layout->addWidget(statusList_, 1);
    layout->addWidget(errorLine_);
    setCentralWidget(centre);
}

bool MainWindow::Initialise() {
    runtime_.Initialise(options_.engineFolder);
    // libtiff's own handlers print to standard error, which nobody reads behind a window;
    // what matters about a file reaches the job rows and the error line.
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    setWindowTitle(QStringLiteral("Plexivar version " PLEXIVAR_VERSION));
    FillSpoolerIcons();
    RestorePlacement(this, kMainPlacement);
    const ServiceSettings& s = runtime_.settings().service;
    ApplyWindowRectangle(this, s.Window);

    if (s.MinimizeToTray != 0) {
        if (!TrayIcon::Available()) {
            // Initialisation ends here: no database link and no automatic start.
            ShowError("No system tray to show the icon in: the spoolers do not start by themselves");
            return true;
        }
        UpdateTray();
    }
    if (s.LogToDatabase != 0) {
        if (options_.makeDatabase) database_ = options_.makeDatabase(runtime_.settings());
        if (!runtime_.StartDatabase(database_.get())) return true;
    }
    status_ = std::make_unique<StatusReporting>(runtime_, view_);
    status_->Start();
    runtime_.StartAutostart();
    if (s.AutoStart != 0) runtime_.control().Start();
    bool show = true;
    if (tray_) {
        tray_->ShowBalloon(QStringLiteral("Plexivar"),
                           QStringLiteral("Folders to scan to files: %1").arg(s.NumberOfSpoolers));
        show = s.StartMinimized == 0;
    }
    runtime_.flags().settingsOpen = 0;
    UpdateCommands();
    return show;
}

void MainWindow::FillSpoolerIcons() {
    const Settings& settings = runtime_.settings();
    std::vector<SpoolerIcons::Entry> entries;
    const int count = std::clamp(settings.service.NumberOfSpoolers, 0, MaxSpoolers);
    for (int n = 1; n <= count; ++n) {
        const SpoolerSettings& s = settings.Spooler(n);
        entries.push_back({ShowBytes(s.InputFolder), s.Enable != 0 ? kSpoolerIdle : kSpoolerDisabled});
    }
    icons_->Fill(entries);
}

bool MainWindow::SettingsEditable() const {
    const SpoolerControl& control = runtime_.control();
    return !Busy() && !shutDown_ && !control.Running() && control.ThreadEnded();
}

void MainWindow::UpdateCommands() {
    const bool idle = !Busy() && !closeRequested_;
    const bool running = runtime_.control().Running();
    start_->setEnabled(idle && !running);
    stop_->setEnabled(idle && running);
    preferences_->setEnabled(idle && SettingsEditable());
    folders_->setEnabled(idle && SettingsEditable());
}

void MainWindow::RunOnHelper(std::function<void()> task, std::function<void()> then) {
    if (helper_.joinable()) return;
    helper_ = std::thread([this, task = std::move(task), then = std::move(then)] {
        task();
        QMetaObject::invokeMethod(
            this,
            [this, then] {
                helper_.join();
                then();
                UpdateCommands();
                if (closeRequested_) close();
            },
            Qt::QueuedConnection);
    });
    UpdateCommands();
}

void MainWindow::ToggleSpoolers() {
    if (closeRequested_) return;
    RunOnHelper([this] { runtime_.control().Toggle(); }, [] {});
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (shutDown_) {
        view_.Flush();
        SavePlacement(this, kMainPlacement);
        tray_.reset();
        event->accept();
        emit Closed();
        return;
    }
    // The service shuts down first, on the helper thread (a plate under way is finished);
    // the window closes when it is done.
    event->ignore();
    closeRequested_ = true;
    UpdateCommands();
    RunOnHelper([this] { runtime_.ShutDown(); }, [this] { shutDown_ = true; });
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // With a tray icon, a minimised window goes to the tray instead of the task bar.
    if (event->type() == QEvent::WindowStateChange && tray_ && isMinimized())
        QTimer::singleShot(0, this, &QWidget::hide);
}

void MainWindow::ToggleTray() {
    if (isVisible() && !isMinimized())
        hide();
    else
        BringToFront();
}

void MainWindow::BringToFront() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainWindow::UpdateTray() {
    const bool wanted = runtime_.settings().service.MinimizeToTray != 0;
    if (wanted && !tray_ && TrayIcon::Available()) {
        tray_ = std::make_unique<TrayIcon>();
        connect(tray_.get(), &TrayIcon::ToggleRequested, this, &MainWindow::ToggleTray);
    } else if (!wanted && tray_) {
        tray_.reset();
    }
}

void MainWindow::SaveSettingsFile() {
    const std::string path = SettingsFilePath(runtime_.context().programDir);
    if (!SaveSettings(path, runtime_.settings()))
        ShowError("Unable to save the settings to " + path);
}

void MainWindow::OpenPreferences() {
    if (!SettingsEditable()) return;
    SettingsDialogScope scope(runtime_);
    const std::vector<std::string> locations =
        options_.locationNames ? options_.locationNames() : std::vector<std::string>();
    PreferencesDialog dialog(runtime_.settings().service, locations, this);
    if (dialog.exec() != QDialog::Accepted) return;
    runtime_.settings().service = dialog.Values();
    SaveSettingsFile();
    UpdateTray();
}

void MainWindow::OpenFolders() {
    if (!SettingsEditable()) return;
    SettingsDialogScope scope(runtime_);
    Settings& settings = runtime_.settings();
    FolderDialog dialog(settings, QString::fromStdString(runtime_.context().programDir), this);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::vector<SpoolerSettings>& table = dialog.Spoolers();
    settings.service.NumberOfSpoolers = static_cast<int>(table.size());
    // With every spooler deleted only the count changes; the icons and the file stay.
    if (table.empty()) return;
    std::copy(table.begin(), table.end(), settings.spoolers.begin());
    FillSpoolerIcons();
    SaveSettingsFile();
}

void MainWindow::ShowAbout() { ShowAboutBox(this); }

void MainWindow::OnIconClicked(int index) {
    if (!SettingsEditable() || index < 0 || index >= MaxSpoolers) return;
    Settings& settings = runtime_.settings();
    SpoolerSettings& spooler = settings.Spooler(index + 1);
    // A single spooler cannot be switched off.
    spooler.Enable = settings.service.NumberOfSpoolers == 1 || spooler.Enable == 0 ? 1 : 0;
    icons_->SetImage(index, spooler.Enable != 0 ? kSpoolerIdle : kSpoolerDisabled);
}

void MainWindow::OnFilesDropped(int index, const QStringList& paths) {
    if (index < 0 || index >= MaxSpoolers) return;
    const SpoolerSettings& spooler = runtime_.settings().Spooler(index + 1);
    if (spooler.Enable == 0) return;
    std::vector<std::string> files;
    for (const QString& path : paths) files.push_back(QFile::encodeName(path).toStdString());
    for (const std::string& problem :
         CopyDroppedFiles(files, runtime_.context().Resolve(spooler.InputFolder)))
        ShowError(problem);
}

void MainWindow::ShowJobRow(const StatusListUpdate& update) {
    const int row = jobs_->Apply(update);
    statusList_->scrollTo(jobs_->index(row, 0));
}

void MainWindow::ShowErrorLine(const std::string& text) {
    errorLine_->setText(ShowBytes(text));
    QPalette palette;  // the normal colours
    if (!text.empty()) {
        palette.setColor(QPalette::Base, QColor(255, 0, 0));
        palette.setColor(QPalette::Text, QColor(255, 255, 255));
    }
    errorLine_->setPalette(palette);
}

void MainWindow::ShowStatusText(const std::string& text) { statusLine_->setText(ShowBytes(text)); }

void MainWindow::ShowProgress(int percent, const std::string& caption) {
    progress_->SetPosition(percent);
    progress_->SetCaption(ShowBytes(caption));
}

void MainWindow::ShowSpoolerImage(int index, int image) { icons_->SetImage(index, image); }

void MainWindow::ShowRunState(bool running) {
    activity_->SetPlaying(running);
    if (tray_) tray_->SetRunning(running);
    UpdateCommands();
}

void MainWindow::ShowMessage(const std::string& text) {
    OpenBox(this, MessageIcon::Error, ShowBytes(text));
}

}  // namespace plexivar::ui
