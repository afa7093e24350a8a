// The operator window: from top to bottom the progress bar, the spooler icons, the status
// line, the status list of jobs and the error line; the menus File, Action and Help, the
// tool bar "Action" with Start and Stop, and a status bar whose 14-pixel animation plays
// while the spoolers run. Optionally an icon in the notification area.
//
// The window is the service's operator view on the user-interface thread: the service's
// reports reach it through a QueuedView, in order. Start, Stop and the closing shut-down
// run on a helper thread, so the window keeps painting while a stop waits for a plate to
// finish; meanwhile every command that changes the run state is disabled.
//
// Commands are enabled: Start while stopped, Stop while running, Preferences and Folder
// configuration while stopped with the spooler thread ended, Exit and About always.
#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "service/production_database.h"
#include "service/report/operator_view.h"
#include "service/service_runtime.h"

class QAction;
class QLineEdit;
class QTableView;

namespace plexivar {
class StatusReporting;
}

namespace plexivar::ui {

class ActivityIndicator;
class CaptionProgressBar;
class QueuedView;
class SpoolerIcons;
class StatusTableModel;
class TrayIcon;

struct WindowOptions {
    // Where the engine is looked for first (the program's own folder).
    std::string engineFolder;
    // Creates the database link for the loaded settings; empty or returning null when the
    // program has none.
    std::function<std::unique_ptr<ProductionDatabase>(const Settings&)> makeDatabase;
    // The names of the database's location list for "Location name"; may be empty.
    std::function<std::vector<std::string>()> locationNames;
};

class MainWindow : public QMainWindow, public OperatorView {
    Q_OBJECT
public:
    // `view` is the service's operator view; the window becomes its target.
    MainWindow(ServiceRuntime& runtime, QueuedView& view, WindowOptions options);
    ~MainWindow() override;

    // The initialisation sequence: binds the engine and loads the settings, shows them,
    // restores the placement, creates the tray icon (when wanted; without a notification
    // area initialisation ends there), starts the database link (a failure ends it there),
    // the remote status endpoint ([Status] Port), the automatic start and, with AutoStart,
    // the spoolers, then shows the tray balloon.
    // Returns whether the window is to be shown: false when it starts hidden in the tray.
    bool Initialise();

    // The operator view, on the user-interface thread.
    void ShowJobRow(const StatusListUpdate& update) override;
    void ShowErrorLine(const std::string& text) override;
    void ShowStatusText(const std::string& text) override;
    void ShowProgress(int percent, const std::string& caption) override;
    void ShowSpoolerImage(int index, int image) override;
    void ShowRunState(bool running) override;
    void ShowMessage(const std::string& text) override;

    // Restores the window (also from the tray) and brings it to the front: a second start
    // of the program asked for it.
    void BringToFront();
    // Hides the window into the tray, or restores it from there.
    void ToggleTray();

    TrayIcon* Tray() const { return tray_.get(); }
    // True while Start, Stop or the shut-down runs on the helper thread.
    bool Busy() const { return helper_.joinable(); }

signals:
    // The shut-down has finished and the window has closed.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildCommands();
    void BuildCentre();
    void FillSpoolerIcons();
    void UpdateCommands();
    // Runs `task` on the helper thread and `then` on this thread once it is done.
    void RunOnHelper(std::function<void()> task, std::function<void()> then);
    void ToggleSpoolers();
    // Settings may change only while the spoolers are stopped and their thread has ended.
    bool SettingsEditable() const;
    void OpenPreferences();
    void OpenFolders();
    void ShowAbout();
    void SaveSettingsFile();
    void UpdateTray();
    void OnIconClicked(int index);
    void OnFilesDropped(int index, const QStringList& paths);

    ServiceRuntime& runtime_;
    QueuedView& view_;
    WindowOptions options_;
    std::unique_ptr<ProductionDatabase> database_;
    // The remote status endpoint, between the service and the window's view while the
    // service runs.
    std::unique_ptr<StatusReporting> status_;

    QAction* preferences_ = nullptr;
    QAction* folders_ = nullptr;
    QAction* exit_ = nullptr;
    QAction* start_ = nullptr;
    QAction* stop_ = nullptr;
    QAction* about_ = nullptr;
    CaptionProgressBar* progress_ = nullptr;
    SpoolerIcons* icons_ = nullptr;
    QLineEdit* statusLine_ = nullptr;
    StatusTableModel* jobs_ = nullptr;
    QTableView* statusList_ = nullptr;
    QLineEdit* errorLine_ = nullptr;
    ActivityIndicator* activity_ = nullptr;
    std::unique_ptr<TrayIcon> tray_;

    std::thread helper_;
    bool closeRequested_ = false;  // close once the helper thread is done
    bool shutDown_ = false;        // the service has shut down; the window may close
};

}  // namespace plexivar::ui
