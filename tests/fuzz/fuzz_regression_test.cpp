// The fuzz targets under the ordinary test run: every input kept from a fuzzing finding, and
// the whole seed corpus, through its target. A target that breaks a promise aborts with
// the promise on standard error; the sanitizers of the build report the rest.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "tests/fuzz/fuzz_targets.h"
#include "tests/fuzz/seed_corpus.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace plexivar::fuzz {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Runs every file below `folder`/<target>/ through its target; returns how many ran.
int RunAll(const fs::path& folder) {
    PrepareFuzzing();
    int ran = 0;
    for (const FuzzTarget& target : FuzzTargets()) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder / target.name, ec)) {
            SCOPED_TRACE(entry.path().string());
            const std::string bytes = Bytes(entry.path());
            target.run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++ran;
        }
    }
    return ran;
}

TEST(FuzzRegressions, EveryKeptInputRunsCleanThroughItsTarget) {
    const fs::path kept = fs::path(PLEXIVAR_SOURCE_DIR) / "tests/fuzz/regressions";
    // Kept inputs sit in a folder named after their target.
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kept, ec))
        EXPECT_NE(FindFuzzTarget(entry.path().filename().string()), nullptr) << entry.path();
    RunAll(kept);
}

TEST(FuzzRegressions, TheSeedCorpusRunsCleanThroughEveryTarget) {
    testing::TempDir dir;
    const int written = WriteSeedCorpus(dir.path(), PLEXIVAR_SOURCE_DIR, testing::FixturesDir());
    EXPECT_EQ(RunAll(dir.path()), written);
    std::set<std::string> seeded;
    for (const auto& entry : fs::directory_iterator(dir.path())) seeded.insert(entry.path().filename());
    for (const FuzzTarget& target : FuzzTargets()) EXPECT_EQ(seeded.count(target.name), 1u) << target.name;
}

}  // namespace
}  // namespace plexivar::fuzz
