// The operator window's start-up, built into the loadable module that `plexivar` opens when
// it runs without arguments (see window_command.h).
#include <QApplication>

#include <memory>
#include <string>
#include <vector>

#include "app/database_factory.h"
#include "app/stop_signals.h"
#include "db/database_manager.h"
#include "platform/program_dir.h"
#include "service/process_guards.h"
#include "service/service_runtime.h"
#include "ui/artwork.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"
#include "ui/queued_view.h"
#include "ui/raise_channel.h"

namespace plexivar {
namespace {

int StartUp(int& argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Plexivar"));
    QApplication::setApplicationName(QStringLiteral("Plexivar"));
    QApplication::setWindowIcon(ui::ProgramIcon());
    // Hidden in the tray, the window is not "closed": the program ends when its window
    // has shut the service down, not when the last visible window goes.
    app.setQuitOnLastWindowClosed(false);

    const std::string programDir = platform::ProgramDirectory();
    ProcessGuards guards;
    std::string message;
    if (!guards.Acquire(programDir, message)) {
        ui::ShowBox(nullptr, ui::MessageIcon::Error, QString::fromStdString(message));
        if (message == kAnotherInstanceMessage)
            ui::AskToRaise(QString::fromStdString(InstanceChannelPath()));
        return 1;
    }

    // The view outlives the service's threads, which may report until the runtime is gone.
    ui::QueuedView view;
    ScopedOperatorView scope(view);
    ServiceRuntime runtime(programDir);
    ui::WindowOptions options;
    options.engineFolder = platform::ExecutableDirectory();
    // The link the window starts is kept at hand for the location names it loads, which
    // "General preferences" offers.
    db::DatabaseManager* manager = nullptr;
    options.makeDatabase = [&manager](const Settings& settings) {
        std::unique_ptr<ProductionDatabase> database = MakeProductionDatabase(settings);
        manager = dynamic_cast<db::DatabaseManager*>(database.get());
        return database;
    };
    options.locationNames = [&manager] {
        std::vector<std::string> names;
        if (manager)
            for (const db::Location& location : manager->LocationList()) names.push_back(location.name);
        return names;
    };
    ui::MainWindow window(runtime, view, std::move(options));
    QObject::connect(&window, &ui::MainWindow::Closed, &app, &QCoreApplication::quit);

    ui::RaiseServer raise;
    if (guards.HoldsInstanceLock()) {
        raise.Listen(QString::fromStdString(InstanceChannelPath()));
        QObject::connect(&raise, &ui::RaiseServer::RaiseRequested, &window,
                         &ui::MainWindow::BringToFront);
    }
    // SIGTERM or SIGINT (a log-out, systemctl --user stop, Ctrl-C) closes the window as
    // Exit does: the spoolers stop in order first.
    StopSignalWatcher stopSignals([&window](int) {
        QMetaObject::invokeMethod(&window, [&window] { window.close(); }, Qt::QueuedConnection);
    });

    if (window.Initialise()) window.show();
    return app.exec();
}

}  // namespace
}  // namespace plexivar

extern "C" __attribute__((visibility("default"))) int plexivar_run_window(int argc, char** argv) {
    // Before Qt or the service start any thread, so that every thread inherits the mask.
    plexivar::BlockStopSignals();
    return plexivar::StartUp(argc, argv);
}
