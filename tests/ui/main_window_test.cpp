// The main window driven as an operator drives it: commands, job rows, the error line, the
// spooler icons (clicks and dropped files), start-up with and without the tray, and a
// burst of reports from another thread.
#include <QAction>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <filesystem>
#include <optional>
#include <thread>

#include "service/report/job_record.h"
#include "tests/ui/window_harness.h"
#include "ui/activity_indicator.h"
#include "ui/caption_progress_bar.h"
#include "ui/spooler_icons.h"
#include "ui/status_table_model.h"
#include "ui/tray_icon.h"

namespace plexivar::testing {
namespace {

using ui::SpoolerIcons;

std::string TwoSpoolers(const TempDir& dir, const std::string& extra = "") {
    return IniWith("NumberOfSpoolers=2\r\nInputFolder1=" + dir.File("in1") +
                   "\r\nOutputFolder1=" + dir.File("out1") + "\r\nInputFolder2=" +
                   dir.File("in2") + "\r\nOutputFolder2=" + dir.File("out2") + "\r\n" + extra);
}

class MainWindowTest : public WindowTest {
protected:
    QAction* Action(const char* name) { return Child<QAction>(window(), name); }
    SpoolerIcons* Icons() { return Child<SpoolerIcons>(window(), "spoolerIcons"); }
    QTableView* List() { return Child<QTableView>(window(), "statusList"); }
    QLineEdit* Line(const char* name) { return Child<QLineEdit>(window(), name); }
    QVariant Cell(int row, int column, int role) {
        return List()->model()->data(List()->model()->index(row, column), role);
    }
    void ClickIcon(int index) {
        QTest::mouseClick(Icons()->viewport(), Qt::LeftButton, {}, Icons()->IconCentre(index));
        Settle();
    }
    // Drags local `paths` onto `pos` of the icons and drops them there.
    void Drop(const QStringList& paths, QPoint pos) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
        mime.setUrls(urls);
        QWidget* target = Icons()->viewport();
        QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(pos, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &move);
        QDropEvent drop(pos, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &drop);
        Settle();
    }
};

TEST_F(MainWindowTest, CommandsFollowTheRunState) {
    Open(TwoSpoolers(dir));
    struct Expected {
        const char* state;
        bool start, stop, preferences, folders;
    };
    const auto check = [&](const Expected& e) {
        EXPECT_EQ(Action("actionStart")->isEnabled(), e.start) << e.state;
        EXPECT_EQ(Action("actionStop")->isEnabled(), e.stop) << e.state;
        EXPECT_EQ(Action("actionPreferences")->isEnabled(), e.preferences) << e.state;
        EXPECT_EQ(Action("actionFolders")->isEnabled(), e.folders) << e.state;
        EXPECT_TRUE(Action("actionExit")->isEnabled()) << e.state;
        EXPECT_TRUE(Action("actionAbout")->isEnabled()) << e.state;
    };
    auto* activity = Child<ui::ActivityIndicator>(window(), "activity");

    check({"stopped after start-up", true, false, true, true});
    EXPECT_FALSE(activity->Playing());
    EXPECT_EQ(window().windowTitle(), "Plexivar version 1.6.4");

    Start();
    check({"running", false, true, false, false});
    EXPECT_TRUE(activity->Playing());
    EXPECT_EQ(Line("statusLine")->text().left(7), "Started");

    // A stop waits at least half a second; the window meanwhile paints and refuses
    // every command that changes the run state.
    Action("actionStop")->trigger();
    QTest::qWait(100);
    check({"stopping", false, false, false, false});
    ASSERT_TRUE(WaitUntil([&] { return !runtime().control().Running() && !window().Busy(); }));
    Settle();
    check({"stopped again", true, false, true, true});
    EXPECT_FALSE(activity->Playing());
    EXPECT_EQ(Line("statusLine")->text(), "Stopped");
}

TEST_F(MainWindowTest, StartingWithoutAnEnabledSpoolerShowsTheErrorLineInRed) {
    Open(TwoSpoolers(dir, "Enable1=0\r\nEnable2=0\r\n"));
    const QColor normal = Line("errorLine")->palette().color(QPalette::Base);
    Action("actionStart")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !window().Busy(); }));
    Settle();
    QLineEdit* error = Line("errorLine");
    EXPECT_EQ(error->text(), "No spoolers enabled");
    EXPECT_EQ(error->palette().color(QPalette::Base), QColor(255, 0, 0));
    EXPECT_EQ(error->palette().color(QPalette::Text), QColor(255, 255, 255));
    EXPECT_FALSE(runtime().control().Running());
    EXPECT_TRUE(Action("actionStart")->isEnabled());

    ShowError("");
    Settle();
    EXPECT_EQ(error->text(), "");
    EXPECT_EQ(error->palette().color(QPalette::Base), normal);
}

TEST_F(MainWindowTest, AJobRowTurnsFromYellowToGreenInPlace) {
    Open(TwoSpoolers(dir));
    RecordJob("Processing", "0042-1183407-C.tif", 0, "", "Cyan");
    Settle();
    ASSERT_EQ(List()->model()->rowCount(), 1);
    EXPECT_EQ(Cell(0, ui::StatusTableModel::kStatus, Qt::BackgroundRole).value<QBrush>().color(),
              QColor(255, 255, 0));
    EXPECT_EQ(Cell(0, ui::StatusTableModel::kSeconds, Qt::DisplayRole).toString(), " ");

    RecordJob("Done", "0042-1183407-C.tif", 3, "Scaled 99.5 x 100", "Cyan");
    Settle();
    ASSERT_EQ(List()->model()->rowCount(), 1);
    EXPECT_EQ(Cell(0, ui::StatusTableModel::kStatus, Qt::BackgroundRole).value<QBrush>().color(),
              QColor(0, 255, 0));
    EXPECT_EQ(Cell(0, ui::StatusTableModel::kStatus, Qt::DisplayRole).toString(), "Done");
    EXPECT_EQ(Cell(0, ui::StatusTableModel::kSeconds, Qt::DisplayRole).toString(), "3");
    EXPECT_EQ(Cell(0, ui::StatusTableModel::kComment, Qt::DisplayRole).toString(), "Scaled 99.5 x 100");
    EXPECT_EQ(Cell(0, ui::StatusTableModel::kColor, Qt::DisplayRole).toString(), "C");
}

TEST_F(MainWindowTest, ProgressReportsReachTheBar) {
    Open(TwoSpoolers(dir));
    auto* bar = Child<ui::CaptionProgressBar>(window(), "progress");
    SetProgress(40, "");  // the engine's progress: the percentage shows
    Settle();
    EXPECT_EQ(bar->DisplayText(), "40%");
    SetProgress(140, "Scanning..");
    Settle();
    EXPECT_EQ(bar->Position(), 100);
    EXPECT_EQ(bar->DisplayText(), "Scanning..");
}

TEST_F(MainWindowTest, ColourCellsByLetterOrWord) {
    Open(TwoSpoolers(dir));
    struct Case {
        std::string status, colour;
        QColor statusBackground;
        std::optional<QColor> colourBackground, colourText;
    };
    const QColor red(255, 0, 0), yellow(255, 255, 0), green(0, 255, 0), cyan(0, 255, 255),
        magenta(255, 0, 255), black(0, 0, 0), white(255, 255, 255);
    const std::vector<Case> cases = {
        {"Done", "Cyan", green, cyan, black},
        {"Processing", "m", yellow, magenta, black},
        {"Error: disk full", "gul", red, yellow, black},
        {"Retry after Error", "Black", red, black, white},
        {"Done", "svart", green, black, white},
        {"Done", "r\xC3\xB8" "d", green, magenta, black},  // UTF-8
        {"Done", "bl\xE5", green, cyan, black},            // Windows-1252
        {"Done", "blue", green, std::nullopt, std::nullopt},
        {"Done", "", green, std::nullopt, std::nullopt},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        RecordJob(c.status, "file" + std::to_string(i) + ".tif", 1, "", c.colour);
    }
    Settle();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const int row = static_cast<int>(i);
        SCOPED_TRACE(c.status + " / " + c.colour);
        EXPECT_EQ(Cell(row, ui::StatusTableModel::kStatus, Qt::BackgroundRole).value<QBrush>().color(),
                  c.statusBackground);
        const QVariant background = Cell(row, ui::StatusTableModel::kColor, Qt::BackgroundRole);
        const QVariant text = Cell(row, ui::StatusTableModel::kColor, Qt::ForegroundRole);
        EXPECT_EQ(background.isValid(), c.colourBackground.has_value());
        if (c.colourBackground) {
            EXPECT_EQ(background.value<QBrush>().color(), *c.colourBackground);
            EXPECT_EQ(text.value<QBrush>().color(), *c.colourText);
        }
        // Cells other than Status and Color keep the list's own colours.
        EXPECT_FALSE(Cell(row, ui::StatusTableModel::kFile, Qt::BackgroundRole).isValid());
    }
}

TEST_F(MainWindowTest, The502ndFileDropsTheOldestRowAndIsScrolledIntoView) {
    Open(TwoSpoolers(dir));
    for (int i = 1; i <= 502; ++i) RecordJob("Done", "plate" + std::to_string(i) + ".tif", 1, "", "K");
    Settle();
    QTableView* list = List();
    ASSERT_EQ(list->model()->rowCount(), 501);
    EXPECT_EQ(Cell(0, ui::StatusTableModel::kFile, Qt::DisplayRole).toString(), "plate2.tif");
    EXPECT_EQ(Cell(500, ui::StatusTableModel::kFile, Qt::DisplayRole).toString(), "plate502.tif");
    const QRect last = list->visualRect(list->model()->index(500, 0));
    EXPECT_TRUE(list->viewport()->rect().intersects(last));
}

TEST_F(MainWindowTest, IconClicksToggleSpoolersOnlyWhileStopped) {
    Open(TwoSpoolers(dir));
    ASSERT_EQ(Icons()->count(), 2);
    EXPECT_EQ(Icons()->item(0)->text().toStdString(), dir.File("in1"));
    struct Step {
        const char* what;
        std::function<void()> act;
        int enable1, image1;
    };
    const std::vector<Step> steps = {
        {"click while stopped", [&] { ClickIcon(0); }, 0, kSpoolerDisabled},
        {"click again", [&] { ClickIcon(0); }, 1, kSpoolerIdle},
        {"start (spooler 2 stays on)", [&] { Start(); }, 1, -1},
        {"click while running", [&] { ClickIcon(0); }, 1, -1},
        {"stop", [&] { Stop(); }, 1, -1},
        {"click after the stop", [&] { ClickIcon(0); }, 0, kSpoolerDisabled},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(settings().Spooler(1).Enable, step.enable1) << step.what;
        if (step.image1 >= 0) {
            EXPECT_EQ(Icons()->Image(0), step.image1) << step.what;
        }
    }
}

TEST_F(MainWindowTest, ASingleSpoolerStaysEnabled) {
    Open(IniWith("InputFolder1=" + dir.File("in1") + "\r\nOutputFolder1=" + dir.File("out1") + "\r\n"));
    for (int i = 0; i < 2; ++i) {
        ClickIcon(0);
        EXPECT_EQ(settings().Spooler(1).Enable, 1);
        EXPECT_EQ(Icons()->Image(0), kSpoolerIdle);
    }
}

TEST_F(MainWindowTest, DroppedFilesAreCopiedIntoAnEnabledSpoolersFolder) {
    Open(TwoSpoolers(dir, "Enable2=0\r\n"));
    std::filesystem::create_directories(dir.File("in1"));
    std::filesystem::create_directories(dir.File("in2"));
    std::filesystem::create_directories(dir.File("desk/folder"));
    const std::string plate = dir.Write("desk/page1-K.tif", "plate");
    dir.Write("in1/page1-K.tif", "older plate");

    Drop({QString::fromStdString(plate)}, Icons()->IconCentre(0));
    EXPECT_EQ(TempDir::Read(dir.File("in1/page1-K.tif")), "plate");  // replaced

    Drop({QString::fromStdString(plate)}, Icons()->IconCentre(1));  // disabled spooler
    EXPECT_FALSE(std::filesystem::exists(dir.File("in2/page1-K.tif")));

    // A folder is not copied, and the operator is told; a file beside it still is.
    const std::string other = dir.Write("desk/page2-C.tif", "cyan");
    Drop({QString::fromStdString(dir.File("desk/folder")), QString::fromStdString(other)},
         Icons()->IconCentre(0));
    EXPECT_TRUE(std::filesystem::exists(dir.File("in1/page2-C.tif")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("in1/folder")));
    EXPECT_TRUE(Line("errorLine")->text().startsWith("Not copied (a folder): "));

    // Outside the icons nothing happens.
    std::filesystem::remove(dir.File("in1/page2-C.tif"));
    Drop({QString::fromStdString(other)}, QPoint(Icons()->viewport()->width() - 2, 2));
    EXPECT_FALSE(std::filesystem::exists(dir.File("in1/page2-C.tif")));
}

TEST_F(MainWindowTest, ABurstOfTenThousandUpdatesNeverWaitsForTheWindow) {
    Open(TwoSpoolers(dir));
    constexpr int kUpdates = 10000;
    // The reporting thread finishes while this thread does not turn the event loop at
    // all: no report waits for the window.
    std::thread spooler([] {
        for (int i = 0; i < kUpdates; ++i) {
            const std::string file = "burst" + std::to_string(i % 600) + ".tif";
            RecordJob(i % 2 == 0 ? "Processing" : "Done", file, i % 5, std::to_string(i), "Y");
            SetProgress(i % 101, "");
        }
    });
    spooler.join();

    // The window replays them in slices: a timer that fires between two slices finds
    // reports still waiting.
    bool timerRanMidway = false;
    QTimer::singleShot(0, [&] { timerRanMidway = view().Pending() > 0; });
    ASSERT_TRUE(WaitUntil([&] { return view().Pending() == 0; }, 60000));
    QApplication::processEvents();
    EXPECT_TRUE(timerRanMidway);
    // In order: the window shows exactly the service's list.
    const std::vector<StatusRow> rows = GlobalStatusList().Rows();
    ASSERT_EQ(List()->model()->rowCount(), static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int row = static_cast<int>(i);
        EXPECT_EQ(Cell(row, ui::StatusTableModel::kFile, Qt::DisplayRole).toString().toStdString(),
                  rows[i].file);
        EXPECT_EQ(Cell(row, ui::StatusTableModel::kComment, Qt::DisplayRole).toString().toStdString(),
                  rows[i].comment);
    }
    EXPECT_EQ(Cell(static_cast<int>(rows.size()) - 1, ui::StatusTableModel::kComment, Qt::DisplayRole),
              QString::number(kUpdates - 1));
}

TEST_F(MainWindowTest, StartUpWithAndWithoutTheTray) {
    struct Case {
        const char* what;
        std::string keys;
        bool trayAvailable;
        bool tray, shown, autostarted, ended;  // ended: start-up stopped at the tray step
    };
    const std::vector<Case> cases = {
        {"no tray wanted: start minimised does not apply", "StartMinimized=1\r\nAutoStart=1\r\n",
         true, false, true, true, false},
        {"tray", "MinimizeToTray=1\r\nAutoStart=1\r\n", true, true, true, true, false},
        {"tray, start minimised", "MinimizeToTray=1\r\nStartMinimized=1\r\n", true, true, false,
         false, false},
        {"tray wanted but no notification area", "MinimizeToTray=1\r\nStartMinimized=1\r\nAutoStart=1\r\n",
         false, false, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui::TrayIcon::SetAvailableForTesting(c.trayAvailable);
        EXPECT_EQ(Open(TwoSpoolers(dir, c.keys)), c.shown);
        EXPECT_EQ(window().Tray() != nullptr, c.tray);
        EXPECT_EQ(runtime().control().Running(), c.autostarted);
        if (window().Tray()) {
            EXPECT_EQ(window().Tray()->LastBalloon(), "Folders to scan to files: 2");
            EXPECT_EQ(window().Tray()->ToolTip(), c.autostarted ? "Plexivar started" : "Plexivar");
        }
        EXPECT_EQ(Line("errorLine")->text().contains("system tray"), c.ended);
        // An initialisation that ended early never cleared the flag, so nothing starts by
        // itself later either.
        EXPECT_EQ(runtime().flags().settingsOpen.load(), c.ended ? 1 : 0);
    }
}

TEST_F(MainWindowTest, TheTrayAnimatesWhileRunningAndTakesTheMinimisedWindow) {
    ui::TrayIcon::SetAvailableForTesting(true);
    Open(TwoSpoolers(dir, "MinimizeToTray=1\r\n"));
    ui::TrayIcon* tray = window().Tray();
    ASSERT_NE(tray, nullptr);
    Start();
    EXPECT_EQ(tray->ToolTip(), "Plexivar started");
    EXPECT_TRUE(tray->Animating());
    ASSERT_TRUE(WaitUntil([&] { return tray->Frame() != 0; }, 2000));
    Stop();
    EXPECT_EQ(tray->ToolTip(), "Plexivar stopped");
    EXPECT_FALSE(tray->Animating());

    window().showMinimized();
    ASSERT_TRUE(WaitUntil([&] { return !window().isVisible(); }, 2000));
    ASSERT_EQ(tray->Menu().actions().size(), 1);
    QAction* toggle = tray->Menu().actions().front();
    EXPECT_EQ(toggle->text(), "&Minimize / Maximize To Tray...");
    EXPECT_EQ(tray->Menu().defaultAction(), toggle);
    toggle->trigger();
    EXPECT_TRUE(window().isVisible());
    EXPECT_FALSE(window().isMinimized());
    toggle->trigger();
    EXPECT_FALSE(window().isVisible());
}

TEST_F(MainWindowTest, PlacementFromTheIniRectangleAndFromTheLastSession) {
    Open(TwoSpoolers(dir, "[Window]\r\nLeft=120\r\nTop=80\r\nRight=920\r\nBottom=680\r\n"));
    EXPECT_EQ(window().size(), QSize(800, 600));
    EXPECT_EQ(window().pos(), QPoint(120, 80));

    // Without an ini rectangle the placement saved when the window closed comes back.
    Open(TwoSpoolers(dir));
    window().resize(700, 450);
    Close();
    Open(TwoSpoolers(dir));
    EXPECT_EQ(window().size(), QSize(700, 450));
}

TEST_F(MainWindowTest, ClosingStopsTheSpoolersFirst) {
    Open(TwoSpoolers(dir));
    Start();
    Close();
    EXPECT_FALSE(runtime().control().Running());
    EXPECT_TRUE(runtime().control().ThreadEnded());
    EXPECT_EQ(runtime().flags().exitRequested.load(), 1);
}

TEST_F(MainWindowTest, TheWindowServesTheRemoteStatusOfWhatItShows) {
    int port = 0;
    {
        QTcpServer probe;  // a port that is free now
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    Open(TwoSpoolers(dir, "[Status]\r\nPort=" + std::to_string(port) + "\r\n"));
    RecordJob("Done", "page7-K.tif", 2, "No action required", "K");
    Settle();
    ASSERT_EQ(List()->model()->rowCount(), 1) << "the window still shows the jobs";

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    ASSERT_TRUE(client.waitForConnected(5000)) << Line("errorLine")->text().toStdString();
    client.write("GET /api/jobs HTTP/1.0\r\nHost: localhost\r\n\r\n");
    QByteArray reply;
    while (client.waitForReadyRead(5000)) reply += client.readAll();
    EXPECT_TRUE(reply.startsWith("HTTP/1.1 200")) << reply.left(200).toStdString();
    EXPECT_TRUE(reply.contains("page7-K.tif")) << reply.toStdString();
}

TEST_F(MainWindowTest, AboutBoxShowsTheVersion) {
    Open(TwoSpoolers(dir));
    QString text, button;
    OnNextModal([&](QWidget& box) {
        text = Child<QLabel>(box, "AboutText")->text();
        auto* close = box.findChild<QPushButton*>();
        button = close->text();
        close->click();
    });
    Child<QAction>(window(), "actionAbout")->trigger();
    EXPECT_EQ(text, "Plexivar Version 1.6.4");
    EXPECT_EQ(button, "Close");
}

}  // namespace
}  // namespace plexivar::testing
