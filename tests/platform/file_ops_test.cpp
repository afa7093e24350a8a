#include "platform/file_ops.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/unique_fd.h"
#include "tests/support/temp_dir.h"

namespace plexivar::platform {
namespace {

using plexivar::testing::TempDir;

TEST(FileOps, SystemErrorTextHasTheServiceFormat) {
    EXPECT_EQ(SystemErrorText(ENOENT),
              std::string(std::strerror(ENOENT)) + " (errorcode " + std::to_string(ENOENT) + ")");
}

TEST(FileOps, MoveReplacesTheTargetAndKeepsTheSourceOnFailure) {
    TempDir dir;
    const auto a = dir.Write("a.tif", "new");
    const auto b = dir.Write("b.tif", "old");
    ASSERT_TRUE(MoveFileReplace(a, b));
    EXPECT_FALSE(FileExists(a));
    EXPECT_EQ(TempDir::Read(b), "new");

    const auto c = dir.Write("c.tif", "keep");
    std::string error;
    EXPECT_FALSE(MoveFileReplace(c, dir.File("missing/c.tif"), &error));
    EXPECT_NE(error.find("errorcode"), std::string::npos);
    EXPECT_EQ(TempDir::Read(c), "keep");
}

// The names in a folder, sorted, so that a stray temporary shows by name.
std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(FileOps, MoveAcrossFileSystemsCopiesThenRemovesTheSource) {
    // /dev/shm is a tmpfs on Linux; the scratch folder usually lies on another file system.
    TempDir dir;
    struct stat shm {}, scratch {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(dir.path().c_str(), &scratch) != 0 ||
        shm.st_dev == scratch.st_dev)
        GTEST_SKIP() << "no /dev/shm on a file system of its own beside " << dir.path();
    const std::string content(3 << 20, 'z');  // larger than one copy buffer
    const auto from = dir.Write("big.tif", content);
    ASSERT_EQ(::chmod(from.c_str(), 0640), 0);
    const std::string to = "/dev/shm/plexivar-move-test-" + std::to_string(getpid());
    ASSERT_TRUE(MoveFileReplace(from, to));
    EXPECT_FALSE(FileExists(from));
    EXPECT_EQ(TempDir::Read(to), content);
    EXPECT_EQ(ModeOf(to), 0640u);
    DeleteFile(to);
}

TEST(FileOps, CopyReplacesThroughATemporaryAndLeavesNoStrayFiles) {
    TempDir dir;
    const auto from = dir.Write("in.tif", "data");
    const auto to = dir.Write("out.tif", "stale");
    ASSERT_EQ(::chmod(from.c_str(), 0754), 0);
    ASSERT_TRUE(CopyFileReplace(from, to));
    EXPECT_EQ(TempDir::Read(to), "data");
    EXPECT_EQ(TempDir::Read(from), "data");
    EXPECT_EQ(ModeOf(to), 0754u);
    EXPECT_FALSE(CopyFileReplace(dir.File("nothere"), to));
    EXPECT_EQ(TempDir::Read(to), "data");
    // The copy is complete when its rename over a folder fails: the temporary must go.
    ASSERT_TRUE(CreateDirectory(dir.File("folder")));
    std::string error;
    EXPECT_FALSE(CopyFileReplace(from, dir.File("folder"), &error));
    EXPECT_NE(error.find("errorcode"), std::string::npos) << error;
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"folder", "in.tif", "out.tif"}));
}

TEST(FileOps, DeleteOfAMissingFileCountsAsDone) {
    TempDir dir;
    EXPECT_TRUE(DeleteFile(dir.File("none")));
    const auto f = dir.Write("f", "x");
    EXPECT_TRUE(DeleteFile(f));
    EXPECT_FALSE(FileExists(f));
}

TEST(FileOps, CreateDirectoriesAndFileInfo) {
    TempDir dir;
    ASSERT_TRUE(CreateDirectories(dir.File("a/b/c")));
    EXPECT_TRUE(DirectoryExists(dir.File("a/b/c")));
    EXPECT_TRUE(CreateDirectory(dir.File("a/b/c")));
    const auto f = dir.Write("a/b/c/x.tif", "12345");
    FileInfo info;
    ASSERT_TRUE(GetFileInfo(f, info));
    EXPECT_EQ(info.size, 5u);
    EXPECT_GT(info.lastWriteTime.tv_sec, 0);
    EXPECT_GT(info.creationTime.tv_sec, 0);
    EXPECT_FALSE(GetFileInfo(dir.File("none"), info));
}

TEST(FileOps, ProbeFailsWhileAnotherProcessHoldsALock) {
    TempDir dir;
    const auto f = dir.Write("busy.tif", "x");
    EXPECT_TRUE(ProbeFileReady(f));
    UniqueFd holder(::open(f.c_str(), O_RDWR));
    struct flock lock {};
    lock.l_type = F_WRLCK;
    ASSERT_EQ(::fcntl(holder.get(), F_OFD_SETLK, &lock), 0);
    EXPECT_FALSE(ProbeFileReady(f));
    holder.reset();
    EXPECT_TRUE(ProbeFileReady(f));
    EXPECT_FALSE(ProbeFileReady(dir.File("missing.tif")));
}

TEST(Paths, JoinSplitAndResolve) {
    EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(DirectoryOf("/a/b.tif"), "/a");
    EXPECT_EQ(DirectoryOf("/b.tif"), "/");
    EXPECT_EQ(DirectoryOf("b.tif"), "");
    EXPECT_EQ(FileNameOf("/a/b.tif"), "b.tif");
    EXPECT_EQ(ResolvePath("/prog", "input1"), "/prog/input1");
    EXPECT_EQ(ResolvePath("/prog", "/abs"), "/abs");
}

TEST(Text, FoldsColourWordsInBothEncodings) {
    EXPECT_TRUE(EqualsIgnoreCase("BL\xC5", "bl\xE5"));           // Windows-1252
    EXPECT_TRUE(EqualsIgnoreCase("BL\xC3\x85", "bl\xC3\xA5"));   // UTF-8
    EXPECT_TRUE(EqualsIgnoreCase("R\xC3\x98" "D", "r\xC3\xB8" "d"));
    EXPECT_FALSE(EqualsIgnoreCase("bl\xE5", "bl\xC3\xA5"));      // different encodings differ
    EXPECT_FALSE(EqualsIgnoreCase("black", "blac"));
}

}  // namespace
}  // namespace plexivar::platform
