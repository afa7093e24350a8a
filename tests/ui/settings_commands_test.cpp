// The settings commands of the main window end to end: the dialog opens over the window,
// OK writes plexivar.ini, Cancel writes nothing, and the automatic start holds off while a
// dialog is open.
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

#include "tests/ui/dialog_driver.h"
#include "tests/ui/window_harness.h"
#include "ui/spooler_icons.h"
#include "ui/tray_icon.h"

namespace plexivar::testing {
namespace {

class SettingsCommandsTest : public WindowTest {
protected:
    // Opens the dialog of `action`, lets `work` edit it and returns whether it was accepted.
    void Run(const char* action, const std::function<void(QDialog&)>& work) {
        OnNextModal([this, work](QWidget& modal) {
            auto& dialog = dynamic_cast<QDialog&>(modal);
            openFlag = runtime().flags().settingsOpen.load();
            work(dialog);
        });
        Child<QAction>(window(), action)->trigger();
        Settle();
    }
    static void Press(QDialog& dialog, QDialogButtonBox::StandardButton which) {
        Click(dialog.findChild<QDialogButtonBox*>()->button(which));
    }
    std::string Ini3() {
        return IniWith("NumberOfSpoolers=1\r\nInputFolder1=" + dir.File("in1") + "\r\nOutputFolder1=" +
                       dir.File("out1") + "\r\n; kept: a comment\r\n");
    }
    int openFlag = -1;
};

TEST_F(SettingsCommandsTest, PreferencesOkWritesTheIniFileAndCancelWritesNothing) {
    Open(Ini3());
    const std::string before = Ini();
    const std::time_t stateBefore = runtime().flags().runStateTime.load();

    Run("actionPreferences", [](QDialog& d) {
        Type(Child<QLineEdit>(d, "AutoStartMinutes"), "5");
        Press(d, QDialogButtonBox::Cancel);
    });
    EXPECT_EQ(openFlag, 1) << "the automatic start holds off while the dialog is open";
    EXPECT_EQ(runtime().flags().settingsOpen.load(), 0);
    EXPECT_EQ(Ini(), before);
    EXPECT_EQ(settings().service.AutoStartMinutes, 0);

    Run("actionPreferences", [](QDialog& d) {
        Type(Child<QLineEdit>(d, "AutoStartMinutes"), "5");
        SetChecked(Child<QCheckBox>(d, "Debug2"), true);
        Press(d, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(settings().service.AutoStartMinutes, 5);
    const std::string after = Ini();
    EXPECT_NE(after.find("AutoStartMinutes=5"), std::string::npos) << after;
    EXPECT_NE(after.find("Debug2=1"), std::string::npos);
    EXPECT_NE(after.find("; kept: a comment"), std::string::npos);
    EXPECT_GE(runtime().flags().runStateTime.load(), stateBefore);
}

TEST_F(SettingsCommandsTest, FolderConfigurationOkSavesAndRefillsTheIcons) {
    Open(Ini3());
    const std::string before = Ini();
    Run("actionFolders", [this](QDialog& d) {
        Click(Child<QPushButton>(d, "NewButton"));
        Type(Child<QLineEdit>(d, "InputFolder"), QString::fromStdString(dir.File("in2")));
        Type(Child<QLineEdit>(d, "OutputFolder"), QString::fromStdString(dir.File("out2")));
        Press(d, QDialogButtonBox::Cancel);
    });
    EXPECT_EQ(Ini(), before);
    EXPECT_EQ(settings().service.NumberOfSpoolers, 1);

    Run("actionFolders", [this](QDialog& d) {
        Click(Child<QPushButton>(d, "NewButton"));
        Type(Child<QLineEdit>(d, "InputFolder"), QString::fromStdString(dir.File("in2")));
        Type(Child<QLineEdit>(d, "OutputFolder"), QString::fromStdString(dir.File("out2")));
        Click(Child<QPushButton>(d, "NewButton"));
        Press(d, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(settings().service.NumberOfSpoolers, 2);
    const std::string after = Ini();
    EXPECT_NE(after.find("NumberOfSpoolers=2"), std::string::npos);
    EXPECT_NE(after.find("InputFolder2=" + dir.File("in2")), std::string::npos);
    auto* icons = Child<ui::SpoolerIcons>(window(), "spoolerIcons");
    ASSERT_EQ(icons->count(), 2);
    EXPECT_EQ(icons->item(1)->text().toStdString(), dir.File("in2"));
}

TEST_F(SettingsCommandsTest, DeletingEverySpoolerLeavesTheIniFileAndIconsAsTheyWere) {
    Open(Ini3());
    const std::string before = Ini();
    Run("actionFolders", [](QDialog& d) {
        auto* list = Child<QTreeWidget>(d, "SpoolerList");
        list->setCurrentItem(list->topLevelItem(0));
        Click(Child<QPushButton>(d, "DeleteButton"));
        Press(d, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(settings().service.NumberOfSpoolers, 0);
    EXPECT_EQ(Ini(), before);
    EXPECT_EQ(Child<ui::SpoolerIcons>(window(), "spoolerIcons")->count(), 1);
}

TEST_F(SettingsCommandsTest, TheTrayFollowsThePreference) {
    ui::TrayIcon::SetAvailableForTesting(true);
    Open(Ini3());
    EXPECT_EQ(window().Tray(), nullptr);
    Run("actionPreferences", [](QDialog& d) {
        SetChecked(Child<QCheckBox>(d, "MinimizeToTray"), true);
        Press(d, QDialogButtonBox::Ok);
    });
    EXPECT_NE(window().Tray(), nullptr);
    Run("actionPreferences", [](QDialog& d) {
        SetChecked(Child<QCheckBox>(d, "MinimizeToTray"), false);
        Press(d, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(window().Tray(), nullptr);
    // Without a tray, minimising leaves the window on the task bar.
    window().showMinimized();
    QTest::qWait(50);
    EXPECT_TRUE(window().isVisible());
}

TEST_F(SettingsCommandsTest, AnUnwritableIniFileIsReported) {
    Open(Ini3());
    std::filesystem::remove(dir.File("plexivar.ini"));
    std::filesystem::create_directory(dir.File("plexivar.ini"));  // cannot be replaced
    Run("actionPreferences", [](QDialog& d) { Press(d, QDialogButtonBox::Ok); });
    EXPECT_EQ(Child<QLineEdit>(window(), "errorLine")->text().toStdString(),
              "Unable to save the settings to " + dir.File("plexivar.ini"));
}

}  // namespace
}  // namespace plexivar::testing
