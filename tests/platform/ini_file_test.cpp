#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace plexivar::platform {
namespace {

using plexivar::testing::TempDir;

// One private-profile case: a read of `key` with `value` as the default (and a buffer of
// `buffer` bytes) must give `expected`, or a write of `value` to `key` must turn `file`
// into `expected`.
struct IniCase {
    const char* what;
    std::string file;
    bool write;
    const char* section;
    const char* key;
    std::string value;
    std::string expected;
    std::size_t buffer = kProfileBufferSize;
};

const std::string kLong(300, 'a');
const std::string kQuotes =
    "[Setup]\n  Key1 =  value with blanks  \nKey2=\"quoted\"\nKey3='single'\n"
    "Key4=\"mismatched'\nKey5=\"\nKey6=\nKey7=\"\"\nKey8=''\n";
const std::string kFirstWins =
    "[setup]\r\nPollTime=5\r\npolltime=7\r\n[SETUP]\r\nPollTime=9\r\nOther=1\r\n";
const std::string kGarbage = std::string("\x01\x02\xff\xfe garbage\n[Setup\n=novalue\n") +
                             std::string("bin\0ary=1\n", 10) +
                             "[Setup]\r\nGood=yes\r\n\xff\xff=\xff\n";
const std::string kAlphabetEnds =
    "[setup]\r\nzonedetection1=1\r\nLEFTZONENAME1=L\r\nautostart=1\r\nAUTOSTARTMINUTES=5\r\n";
const std::string kPlant =
    "; plant configuration\r\n[Setup]\r\nPollTime=2 \r\n; keep me\r\nUnknownKey=abc\r\n"
    "\r\n[Other]\r\nX=1\r\n";

const IniCase kIniCases[] = {
    // Names: case-insensitive over the whole alphabet, the first section and key win.
    {"first key wins", kFirstWins, false, "Setup", "POLLTIME", "x", "5"},
    {"second section ignored", kFirstWins, false, "Setup", "Other", "dflt", "dflt"},
    {"fold z", kAlphabetEnds, false, "Setup", "ZoneDetection1", "0", "1"},
    {"fold Z", kAlphabetEnds, false, "Setup", "leftzonename1", "", "L"},
    {"fold a", kAlphabetEnds, false, "SETUP", "AutoStart", "0", "1"},
    {"fold A", kAlphabetEnds, false, "Setup", "autostartminutes", "0", "5"},
    {"no fold above 127", kGarbage, false, "Setup", "\xff\xff", "", "\xff"},
    {"garbage around", kGarbage, false, "Setup", "Good", "", "yes"},
    // Values: blanks trimmed, matching quotes removed, an empty value is a value.
    {"blanks", kQuotes, false, "Setup", "Key1", "", "value with blanks"},
    {"double quotes", kQuotes, false, "Setup", "Key2", "", "quoted"},
    {"single quotes", kQuotes, false, "Setup", "Key3", "", "single"},
    {"mismatched quotes", kQuotes, false, "Setup", "Key4", "", "\"mismatched'"},
    {"lone quote", kQuotes, false, "Setup", "Key5", "", "\""},
    {"empty value", kQuotes, false, "Setup", "Key6", "dflt", ""},
    {"empty double quotes", kQuotes, false, "Setup", "Key7", "dflt", ""},
    {"empty single quotes", kQuotes, false, "Setup", "Key8", "dflt", ""},
    // Defaults: comments and lines without '=' hold no key; trailing blanks go.
    {"comment", ";Key=1\n[Setup]\n; Key=2\nKey\nnoequals here\n", false, "Setup", "Key", "d",
     "d"},
    {"no section", "[Setup]\nKey=1\n", false, "Nowhere", "Key", "d", "d"},
    {"default trimmed", "", false, "Setup", "Key", "default  \t ", "default"},
    {"default keeps leading", "", false, "Setup", "Key", "  lead ", "  lead"},
    // Buffers: values and defaults are cut to bufferSize - 1 characters.
    {"cut", "[Setup]\nLong=" + kLong + "\n", false, "Setup", "Long", "", kLong.substr(0, 254)},
    {"cut 260", "[Setup]\nLong=" + kLong + "\n", false, "Setup", "Long", "", kLong.substr(0, 259),
     260},
    {"default cut", "", false, "Setup", "Long", kLong, kLong.substr(0, 254)},
    // Line ends: CR LF, LF and a bare CR are all read.
    {"bare CR", "[Setup]\rA=1\rB= two \r", false, "Setup", "B", "", "two"},
    {"bare CR last", "[Setup]\rA=1\rB=2", false, "Setup", "B", "", "2"},
    {"LF", "[Setup]\nA=1\n", false, "Setup", "A", "", "1"},

    // Writing: in place, keeping every other line, comment and line end.
    {"replace", kPlant, true, "setup", "polltime", "5",
     "; plant configuration\r\n[Setup]\r\nPollTime=5\r\n; keep me\r\nUnknownKey=abc\r\n"
     "\r\n[Other]\r\nX=1\r\n"},
    {"append to section", kPlant, true, "Setup", "NewKey", "new",
     "; plant configuration\r\n[Setup]\r\nPollTime=2 \r\n; keep me\r\nUnknownKey=abc\r\n"
     "NewKey=new\r\n\r\n[Other]\r\nX=1\r\n"},
    {"new section, no blank line", kPlant, true, "Fresh", "A", "b", kPlant + "[Fresh]\r\nA=b\r\n"},
    {"new file", "", true, "Setup", "A", "1", "[Setup]\r\nA=1\r\n"},
    {"LF, no final line end", "[Setup]\nA=1", true, "Setup", "A", "2", "[Setup]\nA=2"},
    {"append ends the last line", "[Setup]\nA=1", true, "Setup", "B", "2", "[Setup]\nA=1\nB=2\n"},
    {"new section ends the last line", "[Setup]\r\nA=1", true, "Other", "X", "1",
     "[Setup]\r\nA=1\r\n[Other]\r\nX=1\r\n"},
    {"bare CR kept", "[Setup]\rA=1\r", true, "Setup", "B", "2", "[Setup]\rA=1\rB=2\r"},
    {"mixed line ends kept", "[Setup]\r\nA=1\nB=2\r\n", true, "Setup", "B", "3",
     "[Setup]\r\nA=1\nB=3\r\n"},
};

TEST(IniFile, WindowsProfileCases) {
    for (const IniCase& c : kIniCases) {
        IniFile ini = IniFile::Parse(c.file);
        if (c.write) {
            ini.Set(c.section, c.key, c.value);
            EXPECT_EQ(ini.Text(), c.expected) << c.what;
        } else {
            EXPECT_EQ(ini.Get(c.section, c.key, c.value, c.buffer), c.expected) << c.what;
        }
    }
    EXPECT_TRUE(IniFile::Parse(kQuotes).Has("Setup", "Key6"));
    EXPECT_FALSE(IniFile::Parse(kQuotes).Has("Setup", "Key9"));
    EXPECT_EQ(IniFile::Load("/nonexistent/plexivar.ini").Get("Setup", "Key", "d"), "d");
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
    chmod(dir.path().c_str(), 0700);
    // In a user namespace without the user "nobody" (an unprivileged container), root
    // cannot give up its privileges.
    if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "root cannot switch to uid 65534 here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: saved anyway, 2: no error text";
    EXPECT_EQ(TempDir::Read(path), "[Setup]\r\nA=1\r\n");
}

TEST(IniFileSave, ANewFileFollowsTheUmaskAndAReplacedOneKeepsItsMode) {
    struct Case {
        mode_t umask;
        mode_t existing;  // 0: no file yet
        mode_t expected;
    };
    for (const Case c : {Case{022, 0, 0644}, Case{027, 0, 0640}, Case{022, 0600, 0600},
                         Case{077, 0664, 0664}}) {
        TempDir dir;
        const std::string path = dir.File("plexivar.ini");
        if (c.existing != 0) {
            dir.Write("plexivar.ini", "[Setup]\r\n");
            ASSERT_EQ(chmod(path.c_str(), c.existing), 0);
        }
        const mode_t previous = umask(c.umask);
        const bool saved = WriteProfileString(path, "Setup", "A", "1");
        umask(previous);
        ASSERT_TRUE(saved);
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.expected)
            << std::oct << "umask " << c.umask << ", existing " << c.existing;
    }
}

TEST(IniFileSave, AFailedSaveRemovesItsTemporary) {
    // Everything is written, then the rename over a folder of the ini's name fails.
    TempDir dir;
    const std::string path = dir.File("plexivar.ini");
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    IniFile ini;
    ini.Set("Setup", "A", "1");
    std::string error;
    EXPECT_FALSE(ini.Save(path, &error));
    EXPECT_NE(error.find("errorcode"), std::string::npos) << error;
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"plexivar.ini"});
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
