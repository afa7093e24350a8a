// What the window tests share: a program directory with its ini file, the service runtime
// and the main window built in the order the program builds them, scripted message boxes,
// and waits that keep the event loop turning.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "service/report/operator_view.h"
#include "service/service_runtime.h"
#include "tests/support/temp_dir.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/queued_view.h"

namespace plexivar::testing {

// Turns the event loop until `condition` holds; false after `ms` milliseconds.
bool WaitUntil(const std::function<bool()>& condition, int ms = 15000);

// Runs `work` on the next modal dialog once it is open, from inside its own event loop.
// `work` must close the dialog.
void OnNextModal(std::function<void(QWidget&)> work);

// A named child of `parent`, failing the test when there is none.
template <class T>
T* Child(const QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// An ini text for a program directory, with the hot folders below it and a quick poll.
std::string IniWith(const std::string& extraSetupLines);

class WindowTest : public ::testing::Test {
protected:
    WindowTest();
    ~WindowTest() override;

    // Writes plexivar.ini with `ini`, then builds and initialises the window as the
    // program does. Returns what Initialise returned (whether the window is shown).
    bool Open(const std::string& ini);
    // Replays every queued report of the service into the window.
    void Settle();
    // Starts or stops through the Action menu's command and waits until it is done.
    void Start();
    void Stop();
    // Closes the window as Exit does and waits until it has shut the service down.
    void Close();

    ui::MainWindow& window() { return *window_; }
    ui::QueuedView& view() { return *view_; }
    ServiceRuntime& runtime() { return *runtime_; }
    Settings& settings() { return runtime_->settings(); }
    std::string Ini() const { return TempDir::Read(dir.File("plexivar.ini")); }

    TempDir dir;
    ui::ScriptedMessageBoxes boxes;

private:
    // In the program's order: the view outlives the runtime and its threads.
    std::unique_ptr<ui::QueuedView> view_;
    std::unique_ptr<ScopedOperatorView> scope_;
    std::unique_ptr<ServiceRuntime> runtime_;
    std::unique_ptr<ui::MainWindow> window_;
};

}  // namespace plexivar::testing
