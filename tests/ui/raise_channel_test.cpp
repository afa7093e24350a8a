// A second start asks the running copy to bring its window to the front through the
// local socket beside the single-instance lock.
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <thread>

#include "service/process_guards.h"
#include "tests/ui/window_harness.h"
#include "ui/raise_channel.h"

namespace plexivar::testing {
namespace {

TEST(RaiseChannel, ARequestReachesTheListeningCopyEvenOverAStaleSocketFile) {
    TempDir dir;
    const QString path = QString::fromStdString(dir.File("ovinterface_mutex.raise"));
    EXPECT_FALSE(ui::AskToRaise(path, 200)) << "nobody listens yet";

    // A copy that died left its socket file behind.
    dir.Write("ovinterface_mutex.raise", "");
    ui::RaiseServer server;
    ASSERT_TRUE(server.Listen(path));
    QSignalSpy raised(&server, &ui::RaiseServer::RaiseRequested);

    std::thread second([&] { EXPECT_TRUE(ui::AskToRaise(path)); });
    ASSERT_TRUE(WaitUntil([&] { return raised.count() == 1; }));
    second.join();

    // Anything else on the socket is not a request.
    QLocalSocket stranger;
    stranger.connectToServer(path);
    ASSERT_TRUE(stranger.waitForConnected(1000));
    stranger.write("hello\n");
    stranger.flush();
    QTest::qWait(100);
    EXPECT_EQ(raised.count(), 1);
}

TEST(RaiseChannel, TheChannelLivesBesideTheLockInTheRuntimeFolder) {
    TempDir dir;
    const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir.path()));
    EXPECT_EQ(InstanceLockPath(), dir.File("ovinterface_mutex"));
    EXPECT_EQ(InstanceChannelPath(), dir.File("ovinterface_mutex.raise"));
    qputenv("XDG_RUNTIME_DIR", previous);
}

class RaiseWindowTest : public WindowTest {};

TEST_F(RaiseWindowTest, ARaiseRestoresAMinimisedOrTrayedWindow) {
    Open(IniWith(""));
    ui::RaiseServer server;
    ASSERT_TRUE(server.Listen(QString::fromStdString(dir.File("raise"))));
    QObject::connect(&server, &ui::RaiseServer::RaiseRequested, &window(),
                     &ui::MainWindow::BringToFront);
    for (const bool hidden : {false, true}) {
        if (hidden)
            window().hide();
        else
            window().showMinimized();
        std::thread second([&] { ui::AskToRaise(QString::fromStdString(dir.File("raise"))); });
        EXPECT_TRUE(WaitUntil([&] { return window().isVisible() && !window().isMinimized(); }))
            << (hidden ? "hidden" : "minimised");
        second.join();
    }
}

}  // namespace
}  // namespace plexivar::testing
