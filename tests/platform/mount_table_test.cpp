#include "platform/mount_table.h"

#include <gtest/gtest.h>

namespace plexivar::platform {
namespace {

constexpr const char* kMountInfo =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "40 22 0:40 / /mnt/plates rw,relatime shared:20 - cifs //fileserver/plates rw,vers=3.0\n"
    "41 40 0:41 / /mnt/plates/in rw - nfs4 nfshost:/export/in rw\n"
    "42 22 0:42 / /mnt/plates\\040old rw - nfs user@oldhost:/export rw\n"
    "43 22 0:43 / /mnt/sshfs rw - fuse.sshfs operator@10.1.2.3:/data rw\n"
    "44 22 0:44 / /mnt/v6 rw - nfs [fd00::5]:/export rw\n"
    "45 22 0:45 / /tmp rw - tmpfs tmpfs rw\n"
    "garbage line\n"
    "46 22 0:46 / /mnt/plates rw - cifs //newserver/plates rw\n";

TEST(MountTable, ParsesMountInfoLines) {
    const auto entries = ParseMountInfo(kMountInfo);
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[1].mountPoint, "/mnt/plates");
    EXPECT_EQ(entries[1].fsType, "cifs");
    EXPECT_EQ(entries[1].source, "//fileserver/plates");
    EXPECT_EQ(entries[3].mountPoint, "/mnt/plates old");  // \040 is a blank
    EXPECT_TRUE(ParseMountInfo("").empty());
    EXPECT_TRUE(ParseMountInfo("1 2 3 4\n- - -\n").empty());
}

TEST(MountTable, LongestWholeComponentMountWins) {
    const auto entries = ParseMountInfo(kMountInfo);
    const auto source = [&](const char* path) {
        const MountEntry* e = FindMountFor(entries, path);
        return e ? e->source : std::string("(none)");
    };
    EXPECT_EQ(source("/mnt/plates/in/C"), "nfshost:/export/in");
    EXPECT_EQ(source("/mnt/plates/in"), "nfshost:/export/in");
    EXPECT_EQ(source("/mnt/plates/input"), "//newserver/plates");  // later mount on top
    EXPECT_EQ(source("/mnt/plates old/x"), "user@oldhost:/export");
    EXPECT_EQ(source("/mnt/platesX"), "/dev/sda1");
    EXPECT_EQ(source("/"), "/dev/sda1");
    EXPECT_EQ(FindMountFor({}, "/x"), nullptr);
}

TEST(MountTable, HostFromSource) {
    EXPECT_EQ(HostFromMountSource("//fileserver/plates"), "fileserver");
    EXPECT_EQ(HostFromMountSource("\\\\fileserver\\plates"), "fileserver");
    EXPECT_EQ(HostFromMountSource("//fileserver"), "fileserver");
    EXPECT_EQ(HostFromMountSource("nfshost:/export/in"), "nfshost");
    EXPECT_EQ(HostFromMountSource("operator@10.1.2.3:/data"), "10.1.2.3");
    EXPECT_EQ(HostFromMountSource("[fd00::5]:/export"), "fd00::5");
    EXPECT_EQ(HostFromMountSource("10.0.0.1:6789,10.0.0.2:6789:/"), "10.0.0.1");
    EXPECT_EQ(HostFromMountSource("https://dav.example/plates"), "dav.example");
    EXPECT_EQ(HostFromMountSource("/dev/sda1"), "");
    EXPECT_EQ(HostFromMountSource(":/x"), "");
    EXPECT_EQ(HostFromMountSource("[broken:/x"), "");
    EXPECT_EQ(HostFromMountSource(""), "");
}

TEST(MountTable, NetworkFileSystems) {
    for (auto type : {"cifs", "smb3", "nfs", "nfs4", "fuse.sshfs"})
        EXPECT_TRUE(IsNetworkFileSystem(type)) << type;
    for (auto type : {"ext4", "tmpfs", "overlay", "fuse", "autofs", ""})
        EXPECT_FALSE(IsNetworkFileSystem(type)) << type;
}

TEST(MountTable, LexicallyAbsolute) {
    EXPECT_EQ(LexicallyAbsolute("in", "/srv/plexivar"), "/srv/plexivar/in");
    EXPECT_EQ(LexicallyAbsolute("/mnt//plates/./in/../out/", "/x"), "/mnt/plates/out");
    EXPECT_EQ(LexicallyAbsolute("../../../..", "/a/b"), "/");
    EXPECT_EQ(LexicallyAbsolute("", "/a"), "/a");
}

TEST(MountTable, ReadsThisProcessTable) {
    std::vector<MountEntry> entries;
    std::string error;
    ASSERT_TRUE(ReadMountTable(entries, &error)) << error;
    ASSERT_NE(FindMountFor(entries, "/"), nullptr);
}

}  // namespace
}  // namespace plexivar::platform
