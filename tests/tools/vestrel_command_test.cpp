// The vestrel tool as an operator runs it: exit status, messages, files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

using plexivar::testing::ScopedCurrentDir;
using plexivar::testing::TempDir;

struct CommandResult {
    int status = -1;
    std::string err;
};

// Runs a shell command line in the current folder, capturing standard error.
CommandResult Shell(const std::string& command, const TempDir& dir) {
    const std::string errFile = dir.File("stderr.txt");
    const int raw = std::system((command + " 2>" + errFile).c_str());
    CommandResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.err = TempDir::Read(errFile);
    return r;
}

TEST(VestrelCommand, ResamplesAPlateAndReportsFailuresByExitStatus) {
    TempDir dir;
    ScopedCurrentDir cd(dir.path());
    dir.Write("plexivar.ini", "[Setup]\r\nUseTempPath=0\r\n");
    ASSERT_EQ(Shell(std::string(SAMPLE_PLATE_PATH) + " in.tif 400 600 2400", dir).status, 0);

    const CommandResult ok = Shell(std::string(VESTREL_TOOL_PATH) +
                             " resample in.tif out.tif --resolution 1200 --lines 64",
                         dir);
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_FALSE(TempDir::Read(dir.File("out.tif")).empty());
    EXPECT_EQ(ok.err, "");  // no progress bar when standard error is not a terminal

    const CommandResult simple = Shell(std::string(VESTREL_TOOL_PATH) + " simple in.tif s.tif --scale 99", dir);
    EXPECT_EQ(simple.status, 0) << simple.err;

    const CommandResult missing = Shell(std::string(VESTREL_TOOL_PATH) + " resample nope.tif o.tif", dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Error opening TIFF file nope.tif"), std::string::npos) << missing.err;

    const CommandResult usage = Shell(std::string(VESTREL_TOOL_PATH) + " resample in.tif", dir);
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("Usage:"), std::string::npos);
}

}  // namespace
