#include "engine/api/engine_setup.h"

#include <gtest/gtest.h>

#include "engine/api/engine_log.h"
#include "engine/filter/filter_log.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

class EngineSetupTest : public ::testing::Test {
  protected:
    void SetUp() override { filterLog_ = FilterLogPath(); }
    void TearDown() override {
        ProcessSetup() = EngineSetup();
        SetEngineLogPath("");
        SetFilterLogPath(filterLog_);
    }
    std::string filterLog_;
    plexivar::testing::TempDir dir_;
};

TEST_F(EngineSetupTest, DefaultsWithoutIniFile) {
    // A library just loaded: every setting at its default, both references centred.
    const EngineSetup fresh;
    EXPECT_EQ(fresh.lineBuffers, 1024);
    EXPECT_EQ(fresh.xReference, 1);
    EXPECT_EQ(fresh.yReference, 1);
    EXPECT_EQ(fresh.progress, nullptr);

    // Start-up gives every key its default, whatever the record held before, and leaves the
    // SetParams references alone ("Linebuffers" is an ini key read at load: it is replaced).
    EngineSetup& s = ProcessSetup();
    s.useTempPath = 5;
    s.tempPath = "/elsewhere";
    s.rowsPerStrip = 3;
    s.compression = 0;
    s.extraTags = 9;
    s.cacheAllLimitMB = 1;
    s.randomReverse = 9;
    StoreParams(7, 0, 2);
    InitializeEngine(dir_.path());
    EXPECT_EQ(s.lineBuffers, 1024);
    EXPECT_EQ(s.xReference, 0);
    EXPECT_EQ(s.yReference, 2);
    EXPECT_EQ(s.rowsPerStrip, 256);
    EXPECT_EQ(s.compression, 4);
    EXPECT_EQ(s.cacheAllLimitMB, 500);
    EXPECT_EQ(s.useTempPath, 1);
    EXPECT_EQ(s.tempPath, dir_.path() + "/temp");
    EXPECT_EQ(s.extraTags, 0);
    EXPECT_EQ(s.randomReverse, 0);
    EXPECT_EQ(s.iniPath, dir_.path() + "/plexivar.ini");
    EXPECT_EQ(EngineLogPath(), dir_.path() + "/Plexivar.log");
    EXPECT_EQ(FilterLogPath(), dir_.path() + "/vestrel.log");
}

TEST_F(EngineSetupTest, ReadsSetupKeysAndRereadsOnlyThePerCallOnes) {
    dir_.Write("plexivar.ini",
               "[Setup]\r\nUseTempPath=2\r\nTempPath=stage\r\nLinebuffers=512\r\n"
               "RowsPerStrip=64\r\nCompression=7\r\nExtraTags=1\r\nCacheAllLimitMB=abc\r\n"
               "RandomReverse=3\r\n");
    InitializeEngine(dir_.path());
    EngineSetup& s = ProcessSetup();
    EXPECT_EQ(s.useTempPath, 2);
    EXPECT_EQ(s.tempPath, dir_.path() + "/stage");  // relative to the load directory
    EXPECT_EQ(s.lineBuffers, 512);
    EXPECT_EQ(s.rowsPerStrip, 64);
    EXPECT_EQ(s.compression, 7);
    EXPECT_EQ(s.extraTags, 1);
    EXPECT_EQ(s.cacheAllLimitMB, 0);  // unparsable: 0
    EXPECT_EQ(s.randomReverse, 3);

    dir_.Write("plexivar.ini",
               "[Setup]\nUseTempPath=0\nTempPath=/abs/tmp\nLinebuffers=16\nRowsPerStrip=8\n"
               "Compression=0\nExtraTags=0\nCacheAllLimitMB=9\nRandomReverse=0\n");
    StoreParams(100, 2, 0);
    ReadPerCallSetup();
    EXPECT_EQ(s.useTempPath, 0);
    EXPECT_EQ(s.tempPath, "/abs/tmp");
    EXPECT_EQ(s.rowsPerStrip, 8);
    EXPECT_EQ(s.compression, 0);
    EXPECT_EQ(s.extraTags, 0);
    EXPECT_EQ(s.lineBuffers, 100);  // only SetParams changes it after load
    EXPECT_EQ(s.xReference, 2);
    EXPECT_EQ(s.yReference, 0);
    EXPECT_EQ(s.cacheAllLimitMB, 0);
    EXPECT_EQ(s.randomReverse, 3);
}

}  // namespace
}  // namespace vestrel
