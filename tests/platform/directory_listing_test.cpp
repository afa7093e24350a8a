#include "platform/directory_listing.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace plexivar::platform {
namespace {

TEST(DirectoryListing, MasksMatchAsOperatorsExpectAndKindsAreTold) {
    struct Case {
        const char* name;
        const char* mask;
        bool matches;
    } const cases[] = {
        {"plate.tif", "*.*", true},     {"noextension", "*.*", true},
        {"PLATE.TIF", "*.tif", true},   {"plate.tiff", "*.tif", false},
        {"a-C.tif", "?-C.*", true},     {".hidden.tif", "*.tif", true},
        {"plate.tif", "*.TI?", true},   {"plate.tif", "[pq]*", true},
    };
    for (const Case& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << c.name << " " << c.mask;

    testing::TempDir dir;
    dir.Write("file.tif", "12345");
    CreateDirectory(dir.File("folder.tif"));
    ASSERT_EQ(symlink("file.tif", dir.File("link.tif").c_str()), 0);
    ASSERT_EQ(symlink("missing.tif", dir.File("dangling.tif").c_str()), 0);
    dir.Write("other.txt", "");
    std::vector<DirectoryEntry> entries;
    ASSERT_TRUE(ListDirectory(dir.path(), "*.TIF", entries));
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, "dangling.tif");
    EXPECT_EQ(entries[0].kind, DirectoryEntry::Kind::Other);
    EXPECT_EQ(entries[1].kind, DirectoryEntry::Kind::File);
    EXPECT_EQ(entries[1].size, 5u);
    EXPECT_GT(entries[1].lastWriteTime.tv_sec, 0);
    EXPECT_EQ(entries[2].kind, DirectoryEntry::Kind::Directory);
    EXPECT_EQ(entries[3].kind, DirectoryEntry::Kind::File);  // a link counts as its target

    ASSERT_TRUE(ListDirectory(dir.path(), "*", entries, nullptr, 2));
    EXPECT_EQ(entries.size(), 2u);
    std::string error;
    EXPECT_FALSE(ListDirectory(dir.File("nope"), "*", entries, &error));
    EXPECT_EQ(error, "No such file or directory (errorcode 2)");
}

}  // namespace
}  // namespace plexivar::platform
