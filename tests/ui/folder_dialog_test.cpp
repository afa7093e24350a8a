// "Folder configuration" with its real widgets: the enabling rules of the editing area and
// of the list's commands, the checks of "Apply" in their order, and New, Copy, Edit,
// Delete and OK as the operator uses them.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include "service/config/settings.h"
#include "tests/ui/dialog_driver.h"
#include "tests/ui/window_harness.h"
#include "ui/folder_dialog.h"

namespace plexivar::testing {
namespace {

using ui::FolderDialog;

Settings WithSpoolers(int count, bool database = false) {
    Settings s;
    s.service.NumberOfSpoolers = count;
    s.service.LogToDatabase = database ? 1 : 0;
    for (int n = 1; n <= count; ++n) {
        s.Spooler(n).InputFolder = "/srv/hot/in" + std::to_string(n);
        s.Spooler(n).OutputFolder = "/srv/plates/out" + std::to_string(n);
    }
    return s;
}

class ShownFolders {
public:
    explicit ShownFolders(const Settings& settings) : dialog(settings, "/srv") {
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }
    QPushButton* Button(const char* name) { return Child<QPushButton>(dialog, name); }
    QLineEdit* Field(const char* name) { return Child<QLineEdit>(dialog, name); }
    QCheckBox* Check(const char* name) { return Child<QCheckBox>(dialog, name); }
    QRadioButton* Radio(const char* name) { return Child<QRadioButton>(dialog, name); }
    QComboBox* Detection() { return Child<QComboBox>(dialog, "ColorDetection"); }
    QTreeWidget* List() { return Child<QTreeWidget>(dialog, "SpoolerList"); }
    void Select(int row) {
        QTreeWidgetItem* item = List()->topLevelItem(row);
        ASSERT_NE(item, nullptr);
        const QRect rect = List()->visualItemRect(item);
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                          QPoint(rect.left() + 120, rect.center().y()));
    }
    void Ok() { Click(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)); }
    std::vector<std::string> Folders() const {
        std::vector<std::string> folders;
        for (const SpoolerSettings& s : dialog.Spoolers()) folders.push_back(s.InputFolder);
        return folders;
    }
    FolderDialog dialog;
};

TEST(FolderDialog, EditingAreaEnablingRules) {
    const std::vector<std::string> scalings = {"ScalingXC", "ScalingYC", "ScalingXM", "ScalingYM",
                                               "ScalingXY", "ScalingYY", "ScalingXK", "ScalingYK"};
    const std::vector<std::string> placement = {"Xreference0", "Xreference1", "Xreference2",
                                                "Yreference0", "Yreference1", "Yreference2",
                                                "LeftZonename", "RightZonename"};
    const std::vector<std::string> margins = {"TopMargin", "BottomMargin", "LeftMargin", "RightMargin"};
    const std::vector<std::string> always = {"Enable", "InputFolder", "BrowseInput", "OutputFolder",
                                             "BrowseOutput", "MakeArchive", "KeepResolution",
                                             "EnableScaling", "KeepSize", "MergeFile", "UseRegex"};
    std::vector<std::string> ruled = {"ArchiveFolder", "BrowseArchive", "InputName", "ResolutionX",
                                      "ResolutionY", "ColorDetection", "KeepMargins",
                                      "MergeFileName", "BrowseMerge", "MatchExpression",
                                      "FormatExpression", "ZoneDetection0", "ZoneDetection1"};
    for (const auto* group : {&scalings, &placement, &margins, &always})
        ruled.insert(ruled.end(), group->begin(), group->end());
    const auto set = [](std::initializer_list<const std::vector<std::string>*> groups,
                        std::initializer_list<const char*> more) {
        std::set<std::string> names(more.begin(), more.end());
        for (const auto* g : groups) names.insert(g->begin(), g->end());
        return names;
    };
    // A new spooler: scaling on, keep size and resolution on, detection by sub-folder.
    const std::set<std::string> fresh = set({&always, &scalings, &placement}, {"ColorDetection", "KeepMargins"});

    struct Row {
        const char* what;
        bool database;
        std::function<void(ShownFolders&)> edit;
        std::set<std::string> enabled;
    };
    const std::vector<Row> rows = {
        {"new spooler", false, [](ShownFolders&) {}, fresh},
        {"archive", false, [](ShownFolders& f) { SetChecked(f.Check("MakeArchive"), true); },
         set({&always, &scalings, &placement}, {"ColorDetection", "KeepMargins", "ArchiveFolder", "BrowseArchive"})},
        {"own resolution", false, [](ShownFolders& f) { SetChecked(f.Check("KeepResolution"), false); },
         set({&always, &scalings, &placement}, {"ColorDetection", "KeepMargins", "ResolutionX", "ResolutionY"})},
        {"colour from the file name", false, [](ShownFolders& f) { Choose(f.Detection(), 1); },
         set({&always, &scalings, &placement}, {"ColorDetection", "KeepMargins", "InputName"})},
        {"colour from a TIFF tag", false, [](ShownFolders& f) { Choose(f.Detection(), 2); }, fresh},
        {"scale from a TIFF tag", false, [](ShownFolders& f) { Choose(f.Detection(), 3); },
         set({&always, &placement}, {"ColorDetection", "KeepMargins"})},
        {"inf-file parameters", false, [](ShownFolders& f) { Choose(f.Detection(), 4); },
         set({&always, &placement}, {"ColorDetection", "KeepMargins"})},
        {"no colour scaling", false,
         [](ShownFolders& f) {
             SetChecked(f.Check("KeepMargins"), true);
             SetChecked(f.Check("EnableScaling"), false);
         },
         set({&always}, {})},
        {"page size not kept", false, [](ShownFolders& f) { SetChecked(f.Check("KeepSize"), false); },
         set({&always, &scalings}, {"ColorDetection", "KeepMargins"})},
        {"margins", false, [](ShownFolders& f) { SetChecked(f.Check("KeepMargins"), true); },
         set({&always, &scalings, &placement, &margins}, {"ColorDetection", "KeepMargins"})},
        {"merge and expressions", false,
         [](ShownFolders& f) {
             SetChecked(f.Check("MergeFile"), true);
             SetChecked(f.Check("UseRegex"), true);
         },
         set({&always, &scalings, &placement},
             {"ColorDetection", "KeepMargins", "MergeFileName", "BrowseMerge", "MatchExpression",
              "FormatExpression"})},
        {"database in use", true, [](ShownFolders&) {},
         set({&always, &scalings, &placement}, {"ColorDetection", "KeepMargins", "ZoneDetection0", "ZoneDetection1"})},
    };
    for (const Row& row : rows) {
        ShownFolders f(WithSpoolers(1, row.database));
        EXPECT_EQ(EnabledAmong(f.dialog, ruled), std::set<std::string>{}) << "before New..";
        Click(f.Button("NewButton"));
        row.edit(f);
        EXPECT_EQ(EnabledAmong(f.dialog, ruled), row.enabled) << row.what;
    }
}

TEST(FolderDialog, ListCommandsFollowTheSelectionAndThePendingCommand) {
    ui::ScriptedMessageBoxes boxes;
    ShownFolders f(WithSpoolers(2));
    struct State {
        const char* what;
        std::function<void()> enter;
        const char *newText, *copyText, *editText;
        bool newOn, copyOn, editOn, deleteOn;
    };
    const std::vector<State> states = {
        {"nothing selected", [] {}, "New..", "Copy..", "Edit..", true, false, false, false},
        {"a row selected", [&] { f.Select(1); }, "New..", "Copy..", "Edit..", true, true, true, true},
        {"editing", [&] { Click(f.Button("EditButton")); }, "New..", "Copy..", "Apply", false, false, true, false},
        {"edit applied", [&] { Click(f.Button("EditButton")); }, "New..", "Copy..", "Edit..", true, false, false, false},
        {"new spooler", [&] { Click(f.Button("NewButton")); }, "Apply", "Copy..", "Edit..", true, false, false, false},
        {"new spooler refused", [&] { Click(f.Button("NewButton")); }, "Apply", "Copy..", "Edit..", true, false, false, false},
        {"copying", [&] {
             Type(f.Field("InputFolder"), "/srv/hot/in3");
             Type(f.Field("OutputFolder"), "/srv/plates/out3");
             Click(f.Button("NewButton"));
             f.Select(0);
             Click(f.Button("CopyButton"));
         }, "New..", "Apply", "Edit..", false, true, false, false},
    };
    for (const State& s : states) {
        s.enter();
        EXPECT_EQ(f.Button("NewButton")->text(), s.newText) << s.what;
        EXPECT_EQ(f.Button("CopyButton")->text(), s.copyText) << s.what;
        EXPECT_EQ(f.Button("EditButton")->text(), s.editText) << s.what;
        EXPECT_EQ(f.Button("NewButton")->isEnabled(), s.newOn) << s.what;
        EXPECT_EQ(f.Button("CopyButton")->isEnabled(), s.copyOn) << s.what;
        EXPECT_EQ(f.Button("EditButton")->isEnabled(), s.editOn) << s.what;
        EXPECT_EQ(f.Button("DeleteButton")->isEnabled(), s.deleteOn) << s.what;
    }
    EXPECT_EQ(boxes.Texts(), QStringList{"Input folder name required"});
    EXPECT_EQ(f.Folders().size(), 3u);
}

TEST(FolderDialog, ApplyChecksInOrderAndNamesTheFirstFailure) {
    struct Row {
        const char* what;
        std::function<void(ShownFolders&)> edit;
        QString message;  // empty: accepted
    };
    const auto fill = [](ShownFolders& f, const char* input, const char* output) {
        Type(f.Field("InputFolder"), input);
        Type(f.Field("OutputFolder"), output);
    };
    const auto everythingWrong = [](ShownFolders& f) {
        SetChecked(f.Check("MakeArchive"), true);
        Choose(f.Detection(), 1);
    };
    const std::vector<Row> rows = {
        {"no input folder", [&](ShownFolders& f) { fill(f, "", "/o"); }, "Input folder name required"},
        {"same input folder in other case, and all else wrong",
         [&](ShownFolders& f) { fill(f, "/SRV/Hot/IN1", ""); everythingWrong(f); },
         "Input folder already exists/SRV/Hot/IN1"},
        {"no output, archive or naming", [&](ShownFolders& f) { fill(f, "/srv/new", ""); everythingWrong(f); },
         "Output folder name required"},
        {"no archive or naming", [&](ShownFolders& f) { fill(f, "/srv/new", "/o"); everythingWrong(f); },
         "Output copy name required"},
        {"no naming convention", [&](ShownFolders& f) { fill(f, "/srv/new", "/o"); Choose(f.Detection(), 1); },
         "Naming convention required for color detection/srv/new"},
        {"an archive named", [&](ShownFolders& f) {
             fill(f, "/srv/new", "/o");
             SetChecked(f.Check("MakeArchive"), true);
             Type(f.Field("ArchiveFolder"), "/archive");
         }, ""},
        {"a naming convention", [&](ShownFolders& f) {
             fill(f, "/srv/new", "/o");
             Choose(f.Detection(), 1);
             Type(f.Field("InputName"), "%?-%C.tif");
         }, ""},
        {"not a number", [&](ShownFolders& f) { fill(f, "/srv/new", "/o"); Type(f.Field("ScalingXM"), ""); },
         "Please enter a number."},
    };
    for (const Row& row : rows) {
        ui::ScriptedMessageBoxes boxes;
        ShownFolders f(WithSpoolers(1));
        Click(f.Button("NewButton"));
        row.edit(f);
        Click(f.Button("NewButton"));  // "Apply"
        if (row.message.isEmpty()) {
            EXPECT_TRUE(boxes.Texts().isEmpty()) << row.what << ": " << boxes.Texts().join("|").toStdString();
            EXPECT_EQ(f.Folders(), (std::vector<std::string>{"/srv/hot/in1", "/srv/new"})) << row.what;
            EXPECT_EQ(f.Button("NewButton")->text(), "New..");
        } else {
            EXPECT_EQ(boxes.Texts(), QStringList{row.message}) << row.what;
            ASSERT_FALSE(boxes.Messages().empty());
            EXPECT_EQ(boxes.Messages().front().icon, ui::MessageIcon::Warning);
            EXPECT_EQ(f.Folders().size(), 1u) << row.what;
            EXPECT_EQ(f.Button("NewButton")->text(), "Apply") << "stays in the mode: " << row.what;
        }
    }
}

TEST(FolderDialog, NewStartsFromItsOwnValuesButKeepsTheMarginsSwitch) {
    Settings s = WithSpoolers(1);
    SpoolerSettings& first = s.Spooler(1);
    first.KeepMargins = 1;
    first.KeepResolution = 0;
    first.ResolutionX = 2400;
    first.ColorDetection = 3;
    first.Xreference = 2;
    first.MergeFile = 1;
    first.MergeFileName = "/srv/bg.tif";
    ShownFolders f(s);
    f.Select(0);
    Click(f.Button("EditButton"));
    EXPECT_EQ(f.Field("ResolutionX")->text(), "2400");
    Click(f.Button("EditButton"));  // applied unchanged
    Click(f.Button("NewButton"));
    EXPECT_TRUE(f.Check("Enable")->isChecked());
    EXPECT_EQ(f.Field("InputFolder")->text(), "");
    EXPECT_EQ(f.Field("OutputFolder")->text(), "");
    EXPECT_FALSE(f.Check("MakeArchive")->isChecked());
    EXPECT_EQ(f.Detection()->currentIndex(), 0);
    EXPECT_EQ(f.Field("InputName")->text(), "");
    EXPECT_TRUE(f.Check("KeepResolution")->isChecked());
    EXPECT_EQ(f.Field("ResolutionX")->text(), "1270");
    EXPECT_EQ(f.Field("ResolutionY")->text(), "1270");
    EXPECT_TRUE(f.Check("EnableScaling")->isChecked());
    for (const char* key : {"ScalingXC", "ScalingYC", "ScalingXM", "ScalingYM", "ScalingXY",
                            "ScalingYY", "ScalingXK", "ScalingYK"})
        EXPECT_EQ(f.Field(key)->text(), "100") << key;
    EXPECT_TRUE(f.Check("KeepSize")->isChecked());
    EXPECT_TRUE(f.Radio("Xreference1")->isChecked());
    EXPECT_TRUE(f.Radio("Yreference1")->isChecked());
    EXPECT_TRUE(f.Radio("ZoneDetection0")->isChecked());
    EXPECT_TRUE(f.Check("KeepMargins")->isChecked()) << "left as the last edited spooler had it";
    EXPECT_EQ(f.Field("TopMargin")->text(), "0");
    EXPECT_FALSE(f.Check("MergeFile")->isChecked());
    EXPECT_EQ(f.Field("MergeFileName")->text(), "");
    EXPECT_FALSE(f.Check("UseRegex")->isChecked());
}

TEST(FolderDialog, CopyEditAndDeleteAsTheOperatorUsesThem) {
    ui::ScriptedMessageBoxes boxes;
    Settings s = WithSpoolers(2);
    s.Spooler(1).OutputName = "%?-%C-out.tif";
    s.Spooler(1).ScalingXM = 99.5;
    ShownFolders f(s);

    // A copy must get a folder of its own; everything else comes along.
    f.Select(0);
    Click(f.Button("CopyButton"));
    Click(f.Button("CopyButton"));
    EXPECT_EQ(boxes.Texts(), QStringList{"Input folder already exists/srv/hot/in1"});
    Type(f.Field("InputFolder"), "/srv/hot/in3");
    Click(f.Button("CopyButton"));
    ASSERT_EQ(f.dialog.Spoolers().size(), 3u);
    EXPECT_EQ(f.dialog.Spoolers()[2].ScalingXM, 99.5);
    EXPECT_EQ(f.dialog.Spoolers()[2].OutputName, "%?-%C-out.tif");

    // An edit may take another spooler's folder.
    f.Select(2);
    Click(f.Button("EditButton"));
    Type(f.Field("InputFolder"), "/SRV/HOT/IN2");
    Click(f.Button("EditButton"));
    EXPECT_EQ(f.Folders(), (std::vector<std::string>{"/srv/hot/in1", "/srv/hot/in2", "/SRV/HOT/IN2"}));

    // Delete removes every spooler with that folder, whatever its case, without asking.
    f.Select(1);
    Click(f.Button("DeleteButton"));
    EXPECT_EQ(f.Folders(), std::vector<std::string>{"/srv/hot/in1"});
    EXPECT_EQ(boxes.Texts().size(), 1);
    f.Select(0);
    Click(f.Button("DeleteButton"));
    EXPECT_TRUE(f.Folders().empty());
}

TEST(FolderDialog, NoThirteenthSpooler) {
    ui::ScriptedMessageBoxes boxes;
    ShownFolders f(WithSpoolers(12));
    Click(f.Button("NewButton"));
    f.Select(0);
    Click(f.Button("CopyButton"));
    EXPECT_EQ(boxes.Texts(), (QStringList{"No more than 12 spoolers can be configured",
                                          "No more than 12 spoolers can be configured"}));
    EXPECT_EQ(f.Button("NewButton")->text(), "New..");
    EXPECT_FALSE(f.dialog.findChild<QWidget*>("EditingArea")->isEnabled());
    EXPECT_EQ(f.dialog.Spoolers().size(), 12u);
}

TEST(FolderDialog, OkWithAPendingCommandAsksFirst) {
    struct Case {
        const char* what;
        bool answer;
        const char* output;  // "" fails its check
        std::size_t spoolers;
        QStringList messages;
    };
    const std::vector<Case> cases = {
        {"yes", true, "/o", 2, {"Apply changes?"}},
        {"no", false, "/o", 1, {"Apply changes?"}},
        {"yes, but the check fails: closed all the same", true, "", 1,
         {"Apply changes?", "Output folder name required"}},
    };
    for (const Case& c : cases) {
        ui::ScriptedMessageBoxes boxes;
        boxes.AnswerNext(c.answer);
        ShownFolders f(WithSpoolers(1));
        Click(f.Button("NewButton"));
        Type(f.Field("InputFolder"), "/srv/new");
        Type(f.Field("OutputFolder"), c.output);
        f.Ok();
        EXPECT_EQ(f.dialog.result(), QDialog::Accepted) << c.what;
        EXPECT_EQ(f.dialog.Spoolers().size(), c.spoolers) << c.what;
        EXPECT_EQ(boxes.Texts(), c.messages) << c.what;
    }
}

TEST(FolderDialog, TheOnColumnAndTheZoneDetectionWithoutTheDatabase) {
    Settings s = WithSpoolers(2);
    s.Spooler(2).Enable = 0;
    s.Spooler(1).ZoneDetection = 1;
    s.Spooler(1).EnableScaling = 1;
    ShownFolders f(s);
    QTreeWidgetItem* second = f.List()->topLevelItem(1);
    EXPECT_EQ(second->text(0), "No");
    EXPECT_EQ(second->checkState(0), Qt::Unchecked);
    EXPECT_EQ(f.List()->topLevelItem(0)->text(3), "Yes");
    second->setCheckState(0, Qt::Checked);  // only what the list shows
    EXPECT_EQ(f.dialog.Spoolers()[1].Enable, 0);

    // Without the database the zone comes from the file: the edit stores that.
    f.Select(0);
    Click(f.Button("EditButton"));
    EXPECT_TRUE(f.Radio("ZoneDetection0")->isChecked());
    Click(f.Button("EditButton"));
    EXPECT_EQ(f.dialog.Spoolers()[0].ZoneDetection, 0);

    ShownFolders withDatabase(WithSpoolers(1, true));
    Settings d = WithSpoolers(1, true);
    d.Spooler(1).ZoneDetection = 1;
    ShownFolders kept(d);
    kept.Select(0);
    Click(kept.Button("EditButton"));
    EXPECT_TRUE(kept.Radio("ZoneDetection1")->isChecked());
}

TEST(FolderDialog, ShowsEveryControlTextAndListEntry) {
    ShownFolders f(WithSpoolers(1));
    for (const char* text :
         {"On", "Inputfolder", "Outputfolder", "Fanout", "New..", "Copy..", "Edit..", "Delete",
          "Enable ", "Input folder", "Output folder", "Move original file to archive folder",
          "Archive folder", "Color detection",
          "Color-specific subfolders (MUST be named ..\\C ..\\M  ..\\Y  and ..\\K)",
          "Detect color name in incoming filename", "Detect color name from TIFF tag",
          "Detect scaling factor from TIFF tag (from Kestrum)", "Corvane inf-file parameters",
          "File name def",
          "Define colorname in filename.\nUse '%C for color, '%Z' for zone, '%?' for don't care\n"
          "Example:%?-%?-%C.tif",
          "Keep resolution", "Resolution X", "Resolution Y", "Enable color specific scaling",
          "Scaling X", "Scaling Y", "Cyan", "Magenta", "Yellow", "Black",
          "Keep total image size (recommended)", "Plate reference X-direction", "Left side",
          "Center", "Right side", "Plate reference Y-direction", "Top", "Bottom",
          "Left/top side cylinder zone name(s)", "Right/bottom side cylinder zone name(s)",
          "(separate with comma)", "Zone detection", "From TIFF-tag/filename",
          "From database using Plate-ID", "Do not scale plate margins", "Top margin",
          "Bottom margin", "Left margin", "Right margin", "(Margins in mm)",
          "Merge background file after processing", "Merge file", "Use regular expression",
          "Match expression", "Format expression"})
        EXPECT_TRUE(ShowsText(f.dialog, QString::fromUtf8(text))) << text;
    const std::map<const char*, const char*> browseCaptions = {
        {"BrowseInput", "Select input folder"},
        {"BrowseOutput", "Select outpiut folder"},
        {"BrowseArchive", "Select output copy folder"}};
    for (const auto& [button, caption] : browseCaptions)
        EXPECT_EQ(f.Button(button)->toolTip(), caption);
    EXPECT_EQ(f.dialog.windowTitle(), "Folder configuration");
}

}  // namespace
}  // namespace plexivar::testing
