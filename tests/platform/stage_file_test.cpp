#include "platform/stage_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/temp_dir.h"

namespace plexivar::platform {
namespace {

ino_t Inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(StageFile, LinksWithinAFileSystemAndCopiesAcrossReplacingTheTarget) {
    testing::TempDir dir;
    const std::string from = dir.Write("plate.tif", "content");
    dir.Write("staged.tif", "old");
    std::string error;
    ASSERT_TRUE(StageFile(from, dir.File("staged.tif"), &error)) << error;
    EXPECT_EQ(Inode(dir.File("staged.tif")), Inode(from));  // nothing copied
    EXPECT_EQ(testing::TempDir::Read(from), "content");
    EXPECT_FALSE(StageFile(dir.File("missing.tif"), dir.File("x.tif"), &error));
    EXPECT_EQ(error, "No such file or directory (errorcode 2)");

    struct stat a {}, b{};
    ASSERT_EQ(::stat(dir.path().c_str(), &a), 0);
    if (::stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm to copy across";
    const std::string across = "/dev/shm/plexivar-stage-test-" + std::to_string(::getpid());
    ASSERT_TRUE(StageFile(from, across, &error)) << error;
    EXPECT_EQ(testing::TempDir::Read(across), "content");
    ::unlink(across.c_str());
}

}  // namespace
}  // namespace plexivar::platform
