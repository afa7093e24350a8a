#include "engine/pipeline/delivery.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

using plexivar::testing::TempDir;
namespace fs = plexivar::platform;

struct CountingSleep {
    std::vector<int> waits;
    SleepFunction fn() {
        return [this](int ms) { waits.push_back(ms); };
    }
};

TEST(Delivery, NamesOfWorkingAndStagingFiles) {
    EXPECT_EQ(WorkingPath("/in/a-C.tif", "press1"), "/in/a-C.tif-press1.tmp");
    EXPECT_EQ(DeliveryPath("/out/a-C.tif", 1, "/stage"), "/out/tmp/a-C.tif");
    EXPECT_EQ(DeliveryPath("/out/a-C.tif", 2, "/stage"), "/stage/a-C.tif");
    EXPECT_EQ(DeliveryPath("/out/a-C.tif", -1, "/stage"), "/stage/a-C.tif");
}

TEST(Delivery, DirectMove) {
    TempDir dir;
    const auto work = dir.Write("a.tif-host.tmp", "plate");
    const auto final = dir.File("a.tif");
    std::string error;
    CountingSleep sleep;
    ASSERT_TRUE(DeliverWorkingFile(work, final, 0, "", error, sleep.fn())) << error;
    EXPECT_EQ(TempDir::Read(final), "plate");
    EXPECT_FALSE(fs::FileExists(work));
    EXPECT_TRUE(sleep.waits.empty());
}

TEST(Delivery, StagedThroughTheTmpSubFolderOrTheTempPath) {
    for (int useTempPath : {1, 2}) {
        TempDir dir;
        fs::CreateDirectory(dir.File("out"));
        const auto work = dir.Write("a.tif-host.tmp", "plate");
        const auto final = dir.File("out/a.tif");
        std::string error;
        ASSERT_TRUE(DeliverWorkingFile(work, final, useTempPath, dir.File("stage"), error,
                                       CountingSleep().fn()))
            << error;
        EXPECT_EQ(TempDir::Read(final), "plate");
        // The working file is left for the caller to delete after a copy.
        EXPECT_TRUE(fs::FileExists(work));
        EXPECT_FALSE(fs::FileExists(DeliveryPath(final, useTempPath, dir.File("stage"))));
    }
}

TEST(Delivery, SecondFailedCopyDeletesTheWorkingFileAndLeavesTheFinalPath) {
    TempDir dir;
    fs::CreateDirectory(dir.File("out"));
    const auto final = dir.Write("out/a.tif", "previous");
    const auto work = dir.Write("a.tif-host.tmp", "plate");
    // The staging path is a file where a folder should be: every copy fails.
    dir.Write("blocker", "x");
    std::string error;
    CountingSleep sleep;
    EXPECT_FALSE(DeliverWorkingFile(work, final, 2, dir.File("blocker"), error, sleep.fn()));
    EXPECT_EQ(error, "Error copying file " + work + " to " + dir.File("blocker/a.tif"));
    EXPECT_EQ(sleep.waits, std::vector<int>{1000});
    EXPECT_FALSE(fs::FileExists(work));
    EXPECT_EQ(TempDir::Read(final), "previous");
}

TEST(Delivery, SecondFailedMoveCleansUpAndReports) {
    TempDir dir;
    const auto work = dir.Write("a.tif-host.tmp", "plate");
    const auto final = dir.File("missing/a.tif");
    std::string error;
    CountingSleep sleep;
    EXPECT_FALSE(DeliverWorkingFile(work, final, 0, "", error, sleep.fn()));
    EXPECT_EQ(error, "Error moving file " + work + " to " + final);
    EXPECT_EQ(sleep.waits, std::vector<int>{2000});
    EXPECT_FALSE(fs::FileExists(work));

    // Staged: the copy succeeds, the move into a missing folder fails twice.
    const auto work2 = dir.Write("b.tif-host.tmp", "plate");
    CountingSleep sleep2;
    EXPECT_FALSE(DeliverWorkingFile(work2, dir.File("missing/b.tif"), 2, dir.File("stage"), error,
                                    sleep2.fn()));
    EXPECT_EQ(error, "Error moving file " + dir.File("stage/b.tif") + " to " +
                         dir.File("missing/b.tif"));
    EXPECT_FALSE(fs::FileExists(work2));
    EXPECT_FALSE(fs::FileExists(dir.File("stage/b.tif")));
}

}  // namespace
}  // namespace vestrel
