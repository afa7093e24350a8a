// "General preferences" with its real widgets: what is enabled when, what OK gives back,
// and what it refuses.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "service/config/settings.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/window_harness.h"
#include "ui/preferences_dialog.h"

namespace plexivar::testing {
namespace {

using ui::PreferencesDialog;

// Every switch of the enabling rules off.
ServiceSettings AllOff() {
    ServiceSettings s;
    s.KeepConnection = 0;
    s.UpdateImagingErorStatus = 0;
    s.UseTempPath = 1;
    return s;
}

class ShownPreferences {
public:
    explicit ShownPreferences(const ServiceSettings& settings,
                              const std::vector<std::string>& locations = {})
        : dialog(settings, locations) {
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }
    QCheckBox* Check(const char* name) { return Child<QCheckBox>(dialog, name); }
    QLineEdit* Field(const char* name) { return Child<QLineEdit>(dialog, name); }
    PreferencesDialog dialog;
};

TEST(PreferencesDialog, EnablingRules) {
    const std::vector<std::string> ruled = {
        "DSN", "DSNuser", "DSNpw", "KeepConnection", "LocationName", "ProcessText", "UpdateLog",
        "UpdateFlatPagetable", "UpdateImagingErorStatus", "RegisterAsBackup", "EventCodeOK",
        "EventCodeFail", "StatusCodeRunning", "StatusCodeOK", "StatusCodeError",
        "StatusCodeWarning", "RowsPerStrip", "TempPath", "FolderReconnectCommandInput",
        "FolderReconnectCommandOutput", "LogFile", "LogFile2"};
    const std::set<std::string> database = {"DSN", "DSNuser", "DSNpw", "KeepConnection",
                                            "LocationName", "ProcessText", "UpdateLog",
                                            "UpdateFlatPagetable", "UpdateImagingErorStatus",
                                            "RegisterAsBackup"};
    const auto with = [](std::set<std::string> a, std::initializer_list<const char*> more) {
        for (const char* m : more) a.insert(m);
        return a;
    };
    struct Row {
        const char* what;
        std::vector<const char*> checks;  // switched on
        int buildUp;                      // "File buildup method"
        std::set<std::string> enabled;
    };
    const std::vector<Row> rows = {
        {"everything off", {}, 1, {"RegisterAsBackup"}},
        {"database", {"LogToDatabase"}, 1, database},
        {"database and history log", {"LogToDatabase", "UpdateLog"}, 1,
         with(database, {"EventCodeOK", "EventCodeFail"})},
        {"database and page status", {"LogToDatabase", "UpdateFlatPagetable"}, 1,
         with(database, {"StatusCodeRunning", "StatusCodeOK", "StatusCodeError", "StatusCodeWarning"})},
        {"history and page status without the database", {"UpdateLog", "UpdateFlatPagetable"}, 1,
         {"RegisterAsBackup"}},
        {"multiple strips", {"ForceMultipleStrips"}, 1, {"RegisterAsBackup", "RowsPerStrip"}},
        {"special temp folder", {}, 2, {"RegisterAsBackup", "TempPath"}},
        {"no temp folder", {}, 0, {"RegisterAsBackup"}},
        {"reconnect commands and log files",
         {"FireCommandOnFolderReconnectInput", "FireCommandOnFolderReconnectOutput", "Debug", "Debug2"},
         1,
         {"RegisterAsBackup", "FolderReconnectCommandInput", "FolderReconnectCommandOutput",
          "LogFile", "LogFile2"}},
    };
    // Clicked where the operator can click; a check that is disabled at that moment is
    // set directly (its value still counts once what it depends on is switched on).
    const auto set = [](QCheckBox* box, bool on) {
        if (box->isEnabled())
            SetChecked(box, on);
        else
            box->setChecked(on);
    };
    for (const Row& row : rows) {
        ShownPreferences p(AllOff());
        for (const char* name : row.checks) set(p.Check(name), true);
        Choose(Child<QComboBox>(p.dialog, "UseTempPath"), row.buildUp);
        EXPECT_EQ(EnabledAmong(p.dialog, ruled), row.enabled) << row.what;

        // Switching the same checks off again returns to the all-off state.
        for (auto it = row.checks.rbegin(); it != row.checks.rend(); ++it) set(p.Check(*it), false);
        Choose(Child<QComboBox>(p.dialog, "UseTempPath"), 1);
        EXPECT_EQ(EnabledAmong(p.dialog, ruled), std::set<std::string>{"RegisterAsBackup"}) << row.what;
    }
}

TEST(PreferencesDialog, OkGivesBackEveryValueUnchangedWhenNothingWasEdited) {
    Settings in;
    ServiceSettings& s = in.service;
    s.AutoStart = 1;
    s.AutoStartMinutes = 7;
    s.SearchMask = "*.tif";
    s.PollTime = -3;  // kept as written, meaningless or not
    s.Separators = "-_";
    s.FolderReconnectCommandInput = "/usr/local/bin/remount in";
    s.MaxFilesInOutputFolder = 40;
    s.UseTempPath = 5;  // beyond the list: means the special folder and stays 5
    s.TempPath = "/srv/stage";
    s.RowsPerStrip = 64;
    s.Linebuffers = 2048;
    s.Debug2 = 1;
    s.LogFile2 = "/var/log/plexivar/jobs.csv";
    s.LogToDatabase = 1;
    s.DSN = "OVPROD";
    s.DSNpw = "s\xE9" "cret";  // Windows-1252 bytes survive
    s.LocationName = "Drammen";
    s.EventCodeFail = 999;
    s.StatusCodeWarning = 42;
    s.UpdateExternalStatus = 1;  // edited in the ini file only
    s.ExternalStatusOK = 16;
    s.ExternalStatusRunning = 15;
    ShownPreferences p(s, {"Oslo", "Drammen"});
    EXPECT_FALSE(p.dialog.findChild<QWidget*>("ExternalStatus")->isVisible());
    Click(p.dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));
    ASSERT_EQ(p.dialog.result(), QDialog::Accepted);
    Settings out = in;
    out.service = p.dialog.Values();
    EXPECT_EQ(SettingsAsIniText(out), SettingsAsIniText(in));
}

TEST(PreferencesDialog, LinesPerStripCountOnlyWithMultipleStripsForced) {
    struct Case {
        int stored;
        bool force;
        const char* lines;
        int expected;
    };
    const std::vector<Case> cases = {
        {0, true, "64", 64}, {64, false, "64", 0}, {64, true, "0", 0},
        {64, true, "-5", 0}, {0, false, "128", 0}, {32, true, "32", 32},
    };
    for (const Case& c : cases) {
        ServiceSettings s;
        s.RowsPerStrip = c.stored;
        ShownPreferences p(s);
        EXPECT_EQ(p.Check("ForceMultipleStrips")->isChecked(), c.stored > 0);
        SetChecked(p.Check("ForceMultipleStrips"), true);
        Type(p.Field("RowsPerStrip"), c.lines);
        SetChecked(p.Check("ForceMultipleStrips"), c.force);
        EXPECT_EQ(p.dialog.Values().RowsPerStrip, c.expected) << c.stored << " " << c.lines;
    }
}

TEST(PreferencesDialog, NumberFieldsTakeDigitsOnlyAndKeepTheDialogOpenWhenEmpty) {
    ui::ScriptedMessageBoxes boxes;
    ShownPreferences p(ServiceSettings{});
    QLineEdit* minutes = p.Field("AutoStartMinutes");
    Type(minutes, "1a2,5");
    EXPECT_EQ(minutes->text(), "125");
    Type(minutes, "");
    Click(p.dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));
    EXPECT_TRUE(p.dialog.isVisible());
    EXPECT_EQ(boxes.Texts(), QStringList{"Please enter an integer."});
    EXPECT_TRUE(minutes->hasFocus());
    Type(minutes, "3");
    Click(p.dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));
    EXPECT_EQ(p.dialog.result(), QDialog::Accepted);
    EXPECT_EQ(p.dialog.Values().AutoStartMinutes, 3);

    // Text fields hold what an ini value keeps when read back.
    QLineEdit* log = p.Field("LogFile");
    log->setEnabled(true);
    Type(log, QString(300, QLatin1Char('x')));
    EXPECT_EQ(log->text().size(), 254);
}

TEST(PreferencesDialog, LocationNamesFromTheDatabaseOrTyped) {
    ServiceSettings s;
    s.LocationName = "Bergen";
    ShownPreferences listed(s, {"Oslo", "Bergen", "Trondheim"});
    auto* location = Child<QComboBox>(listed.dialog, "LocationName");
    EXPECT_EQ(location->count(), 3);
    EXPECT_EQ(location->currentIndex(), 1);

    s.LocationName = "Hamar";
    ShownPreferences typed(s, {"Oslo"});
    location = Child<QComboBox>(typed.dialog, "LocationName");
    EXPECT_EQ(location->currentText(), "Hamar");
    location->setEnabled(true);
    location->setEditText("Tromsø");
    EXPECT_EQ(typed.dialog.Values().LocationName, "Troms\xC3\xB8");
}

TEST(PreferencesDialog, ShowsEveryControlText) {
    ShownPreferences p(ServiceSettings{});
    for (const char* text :
         {"Startup", "Autostart on load", "Show icon in system tray", "Start minimized",
          "Autostart input after", "minutes stop time (0:no autostart)", "Input general settings",
          "Inputfile search mask", "Poll interval", "Filename separators",
          "Bypass ping-tests on folder access tests", "Create folders that does not exist",
          "Fire external command on input re-connect failure", "Command file",
          "Fire external command on output re-connect failure", "Output general settings",
          "Max files queued in output folder", "(0: Unlimited)", "File buildup method",
          "No temp-folder", "Use \\tmp sub-folder", "Use special temp-folder",
          "Special output temp folder", "Force multipe strip TIFF output (slower)",
          "Lines per strip", "Lines per datablock", "Include extended tags",
          "Randomize line dir. (internal)", "Logging", "Write to debug log file", "Logfile",
          "Write job log file (csv)", "Log progress to Orvendal database", "Data source name",
          "User name", "Password", "Keep connection open", "Location name", "Process text",
          "Register as backup process", "Add to history log (in database)",
          "Eventcode for success", "Eventcode for failure", "Update Orvendal FlatPageTable status",
          "Statuscode job in progress", "Statuscode for success", "Statuscode for failure",
          "Statuscode for warning", "Set OV status 'Imaging Error' on failure",
          "Update Orvendal External Status", "External status for success",
          "External status for failure", "External status during job"})
        EXPECT_TRUE(ShowsText(p.dialog, QString::fromUtf8(text))) << text;
    EXPECT_EQ(p.Field("DSNpw")->echoMode(), QLineEdit::Password);
    EXPECT_NE(p.dialog.findChild<QSpinBox*>("PollTime"), nullptr);
    EXPECT_EQ(p.dialog.windowTitle(), "General preferences");
}

}  // namespace
}  // namespace plexivar::testing
