#include "app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "tests/support/temp_dir.h"

namespace plexivar {
namespace {

using plexivar::testing::ScopedCurrentDir;
using plexivar::testing::TempDir;

struct Result {
    int status;
    std::string out, err;
};

Result RunPlexivar(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = RunCommandLine(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(CommandLine, VersionAndHelp) {
    EXPECT_EQ(RunPlexivar({"--version"}).out, "Plexivar version 1.6.4\n");
    const Result help = RunPlexivar({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--print-settings"), std::string::npos);
    const Result bad = RunPlexivar({"--bogus"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("unknown option '--bogus'"), std::string::npos);
}

TEST(CommandLine, PrintSettingsInAnEmptyFolderShowsTheDefaultsAndWritesNothing) {
    TempDir dir;
    ScopedCurrentDir cd(dir.path());
    const Result r = RunPlexivar({"--print-settings"});
    EXPECT_EQ(r.status, 0);
    for (const std::string& line : std::vector<std::string>
         {"NumberOfSpoolers=1", "InputFolder1=" + dir.File("input1"), "PollTime=2",
          "StableTime=1000", "ResolutionX1=1270.000000", "DSN=OV", "UpdateImagingErorStatus=1"})
        EXPECT_NE(r.out.find("\n" + line + "\n"), std::string::npos) << line;
    EXPECT_NE(r.out.find("\nDSNpw=********\n"), std::string::npos);  // the default password
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(CommandLine, PrintSettingsShowsTheFileHidesThePasswordAndWarnsAboutTooManySpoolers) {
    TempDir dir;
    dir.Write("plexivar.ini",
              "[Setup]\r\nNumberOfSpoolers=13\r\nInputFolder13=/x\r\nDSNpw=s3cret\r\n");
    const std::string before = TempDir::Read(dir.File("plexivar.ini"));
    ScopedCurrentDir cd(dir.path());
    const Result r = RunPlexivar({"--print-settings"});
    EXPECT_NE(r.out.find("\nNumberOfSpoolers=12\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nInputFolder12="), std::string::npos);
    EXPECT_EQ(r.out.find("InputFolder13"), std::string::npos);
    EXPECT_NE(r.err.find("WARNING: NumberOfSpoolers 13"), std::string::npos);
    EXPECT_NE(r.out.find("\nDSNpw=********\n"), std::string::npos);
    EXPECT_EQ(r.out.find("s3cret"), std::string::npos);
    EXPECT_EQ(TempDir::Read(dir.File("plexivar.ini")), before);
}

TEST(CommandLine, DetectPrintsTheFinalColourAndIsADryRun) {
    TempDir dir;
    dir.Write("plexivar.ini",
              "[Setup]\r\nEnableScaling1=1\r\nColorDetection1=4\r\nInputName1=%?-%C.tif\r\n");
    dir.Write("0042-1183407-M.tif", "not read");
    dir.Write("0042-1183407-M.inf", "ColorName: Black\r\n");
    ScopedCurrentDir cd(dir.path());
    const Result r = RunPlexivar({"--detect", "1", "0042-1183407-M.tif"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Color: K\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Xcorrection: "), std::string::npos);
    EXPECT_NE(r.out.find("FlatSeparation: "), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir.File("0042-1183407-M.inf")));
}

TEST(CommandLine, DetectAndPingRefuseBadArguments) {
    TempDir dir;
    ScopedCurrentDir cd(dir.path());
    EXPECT_EQ(RunPlexivar({"--detect", "1"}).status, 2);
    EXPECT_EQ(RunPlexivar({"--detect", "x", "a.tif"}).status, 2);
    EXPECT_EQ(RunPlexivar({"--detect", "1e30", "a.tif"}).status, 2);
    EXPECT_EQ(RunPlexivar({"--detect", "13", "a.tif"}).status, 2);
    EXPECT_EQ(RunPlexivar({"--detect", "1", "missing.tif"}).status, 1);
    EXPECT_EQ(RunPlexivar({"--ping"}).status, 2);
}

TEST(CommandLine, PingOfALocalFolder) {
    TempDir dir;
    ScopedCurrentDir cd(dir.path());
    const Result ok = RunPlexivar({"--ping", dir.path()});
    EXPECT_EQ(ok.status, 0) << ok.err;
    const Result missing = RunPlexivar({"--ping", dir.File("missing")});
    EXPECT_EQ(missing.status, 1);
}

}  // namespace
}  // namespace plexivar
