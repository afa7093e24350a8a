#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace plexivar::platform {
namespace {

using plexivar::testing::TempDir;

TEST(IniFileRead, NamesMatchCaseInsensitivelyAndFirstMatchWins) {
    const IniFile ini = IniFile::Parse(
        "[setup]\r\nPollTime=5\r\npolltime=7\r\n[SETUP]\r\nPollTime=9\r\nOther=1\r\n");
    EXPECT_EQ(ini.Get("Setup", "POLLTIME", "x"), "5");
    // The second section of the same name is never consulted.
    EXPECT_EQ(ini.Get("Setup", "Other", "dflt"), "dflt");
}

TEST(IniFileRead, TrimsBlanksAndStripsMatchingQuotes) {
    const IniFile ini = IniFile::Parse(
        "[Setup]\n  Key1 =  value with blanks  \nKey2=\"quoted\"\nKey3='single'\n"
        "Key4=\"mismatched'\nKey5=\"\nKey6=\n");
    EXPECT_EQ(ini.Get("Setup", "Key1", ""), "value with blanks");
    EXPECT_EQ(ini.Get("Setup", "Key2", ""), "quoted");
    EXPECT_EQ(ini.Get("Setup", "Key3", ""), "single");
    EXPECT_EQ(ini.Get("Setup", "Key4", ""), "\"mismatched'");
    EXPECT_EQ(ini.Get("Setup", "Key5", ""), "\"");
    // A present but empty key gives "", not the default.
    EXPECT_EQ(ini.Get("Setup", "Key6", "dflt"), "");
    EXPECT_TRUE(ini.Has("Setup", "Key6"));
}

TEST(IniFileRead, CommentsLinesWithoutEqualsAndMissingEntriesGiveDefaults) {
    const IniFile ini = IniFile::Parse(";Key=1\n[Setup]\n; Key=2\nKey\nnoequals here\n");
    EXPECT_EQ(ini.Get("Setup", "Key", "d"), "d");
    EXPECT_EQ(ini.Get("Nowhere", "Key", "d"), "d");
    EXPECT_EQ(IniFile::Load("/nonexistent/plexivar.ini").Get("Setup", "Key", "d"), "d");
}

TEST(IniFileRead, ValuesAndDefaultsAreCutToTheBuffer) {
    const std::string longValue(300, 'a');
    const IniFile ini = IniFile::Parse("[Setup]\nLong=" + longValue + "\n");
    EXPECT_EQ(ini.Get("Setup", "Long", "").size(), 254u);
    EXPECT_EQ(ini.Get("Setup", "Long", "", 260).size(), 259u);
    EXPECT_EQ(ini.Get("Setup", "Missing", longValue).size(), 254u);
}

TEST(IniFileRead, GarbageAndBinaryBytesDoNotBreakOtherKeys) {
    std::string text = "\x01\x02\xff\xfe garbage\n[Setup\n=novalue\n";
    text += std::string("bin\0ary=1\n", 10);
    text += "[Setup]\r\nGood=yes\r\n\xff\xff=\xff\n";
    const IniFile ini = IniFile::Parse(text);
    EXPECT_EQ(ini.Get("Setup", "Good", ""), "yes");
    EXPECT_EQ(ini.Get("Setup", "\xff\xff", ""), "\xff");
}

TEST(IniFileWrite, ReplacesInPlaceAndKeepsEverythingElse) {
    const std::string original =
        "; plant configuration\r\n[Setup]\r\nPollTime=2 \r\n; keep me\r\nUnknownKey=abc\r\n"
        "\r\n[Other]\r\nX=1\r\n";
    IniFile ini = IniFile::Parse(original);
    ini.Set("setup", "polltime", "5");
    ini.Set("Setup", "NewKey", "new");
    ini.Set("Fresh", "A", "b");
    EXPECT_EQ(ini.Text(),
              "; plant configuration\r\n[Setup]\r\nPollTime=5\r\n; keep me\r\nUnknownKey=abc\r\n"
              "NewKey=new\r\n\r\n[Other]\r\nX=1\r\n\r\n[Fresh]\r\nA=b\r\n");
}

TEST(IniFileWrite, KeepsUnixLineEndsAndAMissingFinalLineEnd) {
    IniFile ini = IniFile::Parse("[Setup]\nA=1");
    ini.Set("Setup", "A", "2");
    EXPECT_EQ(ini.Text(), "[Setup]\nA=2");
    IniFile fresh;
    fresh.Set("Setup", "A", "1");
    EXPECT_EQ(fresh.Text(), "[Setup]\r\nA=1\r\n");
}

TEST(IniFileSave, WritesAtomicallyAndRoundTrips) {
    TempDir dir;
    const std::string path = dir.Write("plexivar.ini", "[Setup]\r\nA=1\r\n");
    IniFile ini = IniFile::Load(path);
    ini.Set("Setup", "A", "2");
    std::string error;
    ASSERT_TRUE(ini.Save(path, &error)) << error;
    EXPECT_EQ(TempDir::Read(path), "[Setup]\r\nA=2\r\n");
    EXPECT_TRUE(WriteProfileString(path, "Setup", "B", "3"));
    EXPECT_EQ(GetProfileString(path, "Setup", "B", ""), "3");
}

TEST(IniFileSave, UnwritableFolderFailsAndLosesNothing) {
    TempDir dir;
    const std::string path = dir.Write("plexivar.ini", "[Setup]\r\nA=1\r\n");
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    // Root ignores permissions, so the save runs in a child without privileges then.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
        IniFile ini = IniFile::Load(path);
        ini.Set("Setup", "A", "2");
        std::string error;
        const bool saved = ini.Save(path, &error);
        _exit(saved ? 1 : (error.find("errorcode") != std::string::npos ? 0 : 2));
    }
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: saved anyway, 2: no error text, 3: setuid failed";
    chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(TempDir::Read(path), "[Setup]\r\nA=1\r\n");
}

TEST(IniFileSave, MissingFolderFailsWithoutCreatingAnything) {
    TempDir dir;
    IniFile ini;
    ini.Set("Setup", "A", "1");
    EXPECT_FALSE(ini.Save(dir.File("missing/plexivar.ini")));
    EXPECT_FALSE(WriteProfileString(dir.File("missing/plexivar.ini"), "Setup", "A", "1"));
}

TEST(IniFileSave, InterruptedSaveLeavesTheOldFileIntact) {
    // The process dies after the new content is written but before the rename: the ini
    // still holds the old content in full.
    TempDir dir;
    const std::string path = dir.Write("plexivar.ini", "[Setup]\r\nA=1\r\n");
    IniFile ini = IniFile::Load(path);
    ini.Set("Setup", "A", std::string(100000, 'x'));
    SetSaveInterruptForTesting([] { return true; });
    EXPECT_FALSE(ini.Save(path));
    SetSaveInterruptForTesting(nullptr);
    EXPECT_EQ(TempDir::Read(path), "[Setup]\r\nA=1\r\n");
}

}  // namespace
}  // namespace plexivar::platform
