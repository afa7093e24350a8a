#include "tests/ui/window_harness.h"

#include <QAction>
#include <QTest>
#include <QTimer>

#include <chrono>

#include "platform/program_dir.h"
#include "service/report/job_record.h"
#include "ui/tray_icon.h"

namespace plexivar::testing {

bool WaitUntil(const std::function<bool()>& condition, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QTest::qWait(10);
    }
    return true;
}

void OnNextModal(std::function<void(QWidget&)> work) {
    auto* poll = new QTimer(qApp);  // deletes itself once it has found the dialog
    QObject::connect(poll, &QTimer::timeout, poll, [poll, work = std::move(work)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        work(*modal);
    });
    poll->start(10);
}

std::string IniWith(const std::string& extra) {
    return "[Setup]\r\nPollTime=0\r\nStableTime=0\r\nCreateFolders=1\r\nBypassPingTest=1\r\n" + extra;
}

WindowTest::WindowTest() { GlobalStatusList().Clear(); }

WindowTest::~WindowTest() {
    window_.reset();
    runtime_.reset();
    scope_.reset();
    view_.reset();
    ui::TrayIcon::SetAvailableForTesting(std::nullopt);
    GlobalStatusList().Clear();
}

bool WindowTest::Open(const std::string& ini) {
    window_.reset();
    runtime_.reset();
    scope_.reset();
    view_.reset();
    dir.Write("plexivar.ini", ini);
    view_ = std::make_unique<ui::QueuedView>();
    scope_ = std::make_unique<ScopedOperatorView>(*view_);
    runtime_ = std::make_unique<ServiceRuntime>(dir.path());
    ui::WindowOptions options;
    options.engineFolder = platform::ExecutableDirectory();
    window_ = std::make_unique<ui::MainWindow>(*runtime_, *view_, std::move(options));
    const bool shown = window_->Initialise();
    if (shown) window_->show();
    Settle();
    return shown;
}

void WindowTest::Settle() {
    QApplication::processEvents();
    view_->Flush();
    QApplication::processEvents();
}

void WindowTest::Start() {
    auto* start = Child<QAction>(*window_, "actionStart");
    ASSERT_TRUE(start->isEnabled());
    start->trigger();
    ASSERT_TRUE(WaitUntil([&] { return runtime_->control().Running() && !window_->Busy(); }));
    Settle();
}

void WindowTest::Stop() {
    auto* stop = Child<QAction>(*window_, "actionStop");
    ASSERT_TRUE(stop->isEnabled());
    stop->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !runtime_->control().Running() && !window_->Busy(); }));
    Settle();
}

void WindowTest::Close() {
    bool closed = false;
    QObject receiver;  // ends the connection with this function
    QObject::connect(window_.get(), &ui::MainWindow::Closed, &receiver, [&closed] { closed = true; });
    window_->close();
    ASSERT_TRUE(WaitUntil([&] { return closed; }));
}

}  // namespace plexivar::testing
