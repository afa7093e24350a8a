#include "service/folder_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/mount_table.h"
#include "tests/platform/network_namespace.h"
#include "tests/support/temp_dir.h"

namespace plexivar {
namespace {

using testing::TempDir;

const std::vector<platform::MountEntry> kMounts = platform::ParseMountInfo(
    "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
    "2 1 0:2 / /mnt/plates rw - cifs //fileserver/plates rw\n"
    "3 1 0:3 / /mnt/nfs rw - nfs4 nfshost:/export rw\n"
    "4 1 0:4 / /mnt/odd rw - nfs /no/host rw\n");

TEST(HostOfFolder, UncPaths) {
    EXPECT_EQ(HostOfFolder("//fileserver/plates/in", kMounts, "/").host, "fileserver");
    EXPECT_EQ(HostOfFolder("\\\\fileserver\\plates\\in", kMounts, "/").host, "fileserver");
    EXPECT_EQ(HostOfFolder("\\\\fileserver", kMounts, "/").host,
              "fileserver");  // host and nothing more
    EXPECT_EQ(HostOfFolder("//10.0.0.7", kMounts, "/").host, "10.0.0.7");
}

TEST(HostOfFolder, MountTable) {
    const FolderHost cifs = HostOfFolder("/mnt/plates/in", kMounts, "/");
    EXPECT_EQ(cifs.host, "fileserver");
    EXPECT_NE(cifs.origin.find("cifs"), std::string::npos);
    EXPECT_EQ(HostOfFolder("/mnt/nfs", kMounts, "/").host, "nfshost");
    EXPECT_EQ(HostOfFolder("nfs/in", kMounts, "/mnt").host, "nfshost");  // relative
    EXPECT_EQ(HostOfFolder("/mnt/plates/../nfs/x", kMounts, "/").host, "nfshost");
    EXPECT_EQ(HostOfFolder("/mnt/platesX", kMounts, "/").host, "");
    EXPECT_EQ(HostOfFolder("/srv/in", kMounts, "/").host, "");
    EXPECT_EQ(HostOfFolder("/mnt/odd/in", kMounts, "/").host, "");  // no host in the source
    EXPECT_EQ(HostOfFolder("/srv/in", {}, "/").host, "");
}

TEST(CanEnterDirectory, FoldersOnly) {
    TempDir dir;
    EXPECT_TRUE(CanEnterDirectory(dir.path()));
    std::string error;
    EXPECT_FALSE(CanEnterDirectory(dir.File("missing"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(CanEnterDirectory(dir.Write("file", "x"), &error));
    EXPECT_FALSE(CanEnterDirectory("", &error));

    const std::string closed = dir.File("closed");
    ASSERT_EQ(::mkdir(closed.c_str(), 0), 0);
    // Root may enter any folder, as chdir would let it.
    EXPECT_EQ(CanEnterDirectory(closed), ::geteuid() == 0);
}

TEST(CheckFolder, LocalFolderSendsNothing) {
    TempDir dir;
    FolderCheckReport report;
    EXPECT_TRUE(CheckFolder(dir.path(), false, &report)) << report.error;
    EXPECT_FALSE(report.pinged);
    EXPECT_TRUE(report.folderTested);
    EXPECT_FALSE(CheckFolder(dir.File("missing"), false, &report));
    EXPECT_FALSE(report.pinged);
}

TEST(CheckFolder, BypassTestsTheUnchangedPathOnly) {
    FolderCheckReport report;
    // "//host/..." is, for the file system, the local path "/host/...", which is missing.
    EXPECT_FALSE(CheckFolder("//198.18.255.254/share", true, &report));
    EXPECT_FALSE(report.pinged);
    EXPECT_TRUE(report.folderTested);
    // "//tmp" is the local folder /tmp: with the bypass it is usable.
    EXPECT_TRUE(CheckFolder("//tmp", true, &report)) << report.error;
    EXPECT_FALSE(report.pinged);
}

TEST(CheckFolder, UnresolvableHostGivesFalseWithoutTouchingTheFolder) {
    FolderCheckReport report;
    EXPECT_FALSE(CheckFolder("//" + std::string(70, 'h') + ".example/share", false, &report));
    EXPECT_TRUE(report.pinged);
    EXPECT_FALSE(report.folderTested);
    EXPECT_NE(report.error.find("resolve"), std::string::npos) << report.error;
}

TEST(CheckFolder, SilentServerGivesFalseAfterOneSecond) {
    const testing::TestNetwork net(true);
    PLEXIVAR_REQUIRE_TEST_NETWORK(net);
    FolderCheckReport report;
    bool usable = true;
    double ms = 0;
    ASSERT_TRUE(net.RunInClient([&] {
        const auto start = std::chrono::steady_clock::now();
        usable = CheckFolder("//" + net.address() + "/plates/in", false, &report);
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                 .count();
    }));
    EXPECT_FALSE(usable);
    EXPECT_GE(ms, 990.0);
    EXPECT_LT(ms, 11000.0);
    EXPECT_TRUE(report.pinged);
    EXPECT_FALSE(report.pingSucceeded);
    EXPECT_FALSE(report.folderTested);
}

TEST(CheckFolder, AnsweringServerWithMissingShareGivesFalse) {
    const testing::TestNetwork net(false);
    PLEXIVAR_REQUIRE_TEST_NETWORK(net);
    FolderCheckReport report;
    bool usable = true;
    ASSERT_TRUE(net.RunInClient(
        [&] { usable = CheckFolder("//" + net.address() + "/plates/in", false, &report); }));
    EXPECT_FALSE(usable);
    EXPECT_TRUE(report.pingSucceeded) << report.error;
    EXPECT_TRUE(report.folderTested);
    EXPECT_LT(report.roundTripMs, 1000.0);
}

}  // namespace
}  // namespace plexivar
