#include "service/config/settings.h"

#include <gtest/gtest.h>

#include "platform/ini_file.h"
#include "tests/support/temp_dir.h"

namespace plexivar {
namespace {

using plexivar::testing::TempDir;

struct LoadedSettings {
    Settings settings;
    std::vector<std::string> warnings;
};

LoadedSettings LoadFrom(const TempDir& dir, const std::string& ini) {
    LoadedSettings loaded;
    if (!ini.empty()) dir.Write("plexivar.ini", ini);
    loaded.warnings = LoadSettings(SettingsFilePath(dir.path()), dir.path(), loaded.settings);
    return loaded;
}

TEST(LoadSettings, NoFileGivesTheDefaultsBelowTheProgramDirectory) {
    TempDir dir;
    const auto [s, warnings] = LoadFrom(dir, "");
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(s.service.NumberOfSpoolers, 1);
    EXPECT_EQ(s.service.PollTime, 2);
    EXPECT_EQ(s.service.StableTime, 1000);
    EXPECT_EQ(s.service.TempPath, dir.File("temp"));
    EXPECT_EQ(s.service.LogFile, dir.File("temp/Plexivar.log"));
    EXPECT_EQ(s.service.LogFile2, dir.File("temp/PlexivarJobs.csv"));
    EXPECT_EQ(s.service.UpdateImagingErorStatus, 1);
    EXPECT_EQ(s.service.Window.Left, -1);
    EXPECT_EQ(s.Spooler(1).Enable, 1);
    EXPECT_EQ(s.Spooler(1).InputFolder, dir.File("input1"));
    EXPECT_EQ(s.Spooler(1).OutputFolder, dir.File("output1"));
    EXPECT_EQ(s.Spooler(1).InputName, "%?-%C.tif");
    EXPECT_DOUBLE_EQ(s.Spooler(1).ResolutionX, 1270.0);
    EXPECT_EQ(s.Spooler(2).InputFolder, dir.File("input2"));
}

TEST(LoadSettings, ValuesConvertLikeTheCLibrary) {
    TempDir dir;
    const auto [s, warnings] = LoadFrom(dir,
                                        "[Setup]\r\nNumberOfSpoolers=2\r\nResolutionX1=abc\r\n"
                                        "ResolutionY1=1270\r\nXreference1=\r\nEnable1=\r\n"
                                        "PollTime=  7 seconds\r\nInputFolder2=\"/srv/in 2\"\r\n"
                                        "ScalingXC2=99.5\r\nAutoStartMinutes=08\r\n"
                                        "MatchExpression1=\"\"\r\nzonedetection1=1\r\n");
    EXPECT_DOUBLE_EQ(s.Spooler(1).ResolutionX, 0.0);
    EXPECT_DOUBLE_EQ(s.Spooler(1).ResolutionY, 1270.0);
    EXPECT_EQ(s.Spooler(1).Xreference, 0);
    EXPECT_EQ(s.Spooler(1).Enable, 0);  // present but empty reads as 0
    EXPECT_EQ(s.service.PollTime, 7);
    EXPECT_EQ(s.Spooler(2).InputFolder, "/srv/in 2");
    EXPECT_DOUBLE_EQ(s.Spooler(2).ScalingXC, 99.5);
    EXPECT_EQ(s.service.AutoStartMinutes, 8);  // decimal, not octal
    EXPECT_EQ(s.Spooler(1).MatchExpression, "");
    EXPECT_EQ(s.Spooler(1).ZoneDetection, 1);
}

TEST(LoadSettings, TooManySpoolersAreClampedWithAWarning) {
    TempDir dir;
    const auto [s, warnings] =
        LoadFrom(dir, "[Setup]\nNumberOfSpoolers=40\nInputFolder12=/in12\nInputFolder13=/in13\n");
    EXPECT_EQ(s.service.NumberOfSpoolers, MaxSpoolers);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind("WARNING: ", 0), 0u);
    EXPECT_EQ(s.Spooler(12).InputFolder, "/in12");
}

TEST(SaveSettings, WritesTheWrittenBackFormsAndKeepsTheRest) {
    TempDir dir;
    auto [s, warnings] = LoadFrom(dir,
                                  "; site notes\r\n[Setup]\r\nResolutionX1=1270\r\nCustomKey=keep\r\n"
                                  "AllowMultipleInstances=1\r\nDebug=5\r\nMakeArchive1=7\r\n"
                                  "[Window]\r\nLeft=10\r\n");
    ASSERT_TRUE(SaveSettings(SettingsFilePath(dir.path()), s));
    const auto ini = platform::IniFile::Load(SettingsFilePath(dir.path()));
    EXPECT_EQ(ini.Get("Setup", "ResolutionX1", ""), "1270.000000");
    EXPECT_EQ(ini.Get("Setup", "CustomKey", ""), "keep");
    EXPECT_EQ(ini.Get("Setup", "Debug", ""), "5");        // "%d"
    EXPECT_EQ(ini.Get("Setup", "MakeArchive1", ""), "1");  // flag
    EXPECT_EQ(ini.Get("Setup", "OutputName1", ""), "%?-%C.tif");
    EXPECT_EQ(ini.Get("Window", "Left", ""), "10");
    EXPECT_FALSE(ini.Has("Setup", "CustomZoneSelectField"));  // never written
    EXPECT_EQ(TempDir::Read(SettingsFilePath(dir.path())).rfind("; site notes\r\n", 0), 0u);
}

TEST(SaveSettings, KeysOfRemovedSpoolersStayAndComeBack) {
    TempDir dir;
    const std::string path = SettingsFilePath(dir.path());
    auto [s, warnings] = LoadFrom(dir, "[Setup]\nNumberOfSpoolers=3\nInputFolder3=/plates/in3\n");
    s.service.NumberOfSpoolers = 2;
    s.Spooler(3).InputFolder = "/changed";
    ASSERT_TRUE(SaveSettings(path, s));
    EXPECT_EQ(platform::IniFile::Load(path).Get("Setup", "InputFolder3", ""), "/plates/in3");

    auto reloaded = LoadFrom(dir, "");
    EXPECT_EQ(reloaded.settings.service.NumberOfSpoolers, 2);
    reloaded.settings.service.NumberOfSpoolers = 3;
    ASSERT_TRUE(SaveSettings(path, reloaded.settings));
    EXPECT_EQ(platform::IniFile::Load(path).Get("Setup", "InputFolder3", ""), "/plates/in3");
}

TEST(SaveSettings, UnwritableLocationReportsFailureAndChangesNothing) {
    TempDir dir;
    Settings s;
    LoadSettings(dir.File("missing/plexivar.ini"), dir.path(), s);
    EXPECT_FALSE(SaveSettings(dir.File("missing/plexivar.ini"), s));
}

TEST(SettingsAsIniText, ListsEveryKeyOfTheActiveSpoolersAndTheWindow) {
    TempDir dir;
    const auto [s, warnings] = LoadFrom(dir, "[Setup]\nNumberOfSpoolers=2\n");
    const std::string text = SettingsAsIniText(s);
    EXPECT_EQ(text.rfind("[Setup]\nNumberOfSpoolers=2\n", 0), 0u);
    EXPECT_NE(text.find("InputFolder1=" + dir.File("input1") + "\n"), std::string::npos);
    EXPECT_NE(text.find("ResolutionX2=1270.000000\n"), std::string::npos);
    EXPECT_EQ(text.find("InputFolder3="), std::string::npos);
    EXPECT_NE(text.find("AllowMultipleInstances=0\n"), std::string::npos);
    EXPECT_NE(text.find("CustomZoneSelectField=PressZone+PressCylinder\n"), std::string::npos);
    EXPECT_NE(text.find("\n[Window]\nLeft=-1\nTop=-1\nRight=-1\nBottom=-1\n"), std::string::npos);
}

TEST(SettingsAsIniText, HidesASetPasswordWhichTheFileKeeps) {
    TempDir dir;
    auto [s, warnings] = LoadFrom(dir, "[Setup]\nDSNpw=s3cret\n");
    EXPECT_NE(SettingsAsIniText(s).find("\nDSNpw=********\n"), std::string::npos);
    EXPECT_EQ(SettingsAsIniText(s).find("s3cret"), std::string::npos);
    ASSERT_TRUE(SaveSettings(SettingsFilePath(dir.path()), s));
    EXPECT_EQ(platform::IniFile::Load(SettingsFilePath(dir.path())).Get("Setup", "DSNpw", ""),
              "s3cret");
    // No password: nothing to hide.
    s.service.DSNpw.clear();
    EXPECT_NE(SettingsAsIniText(s).find("\nDSNpw=\n"), std::string::npos);
}

}  // namespace
}  // namespace plexivar
