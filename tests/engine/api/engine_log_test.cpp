#include "engine/api/engine_log.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <thread>
#include <vector>

#include "engine/api/tiff_diagnostics.h"
#include "platform/local_time.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

class EngineLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plexivar::platform::SetClockForTesting([] {
            plexivar::platform::LocalTime t;
            t.year = 2026;
            t.month = 3;
            t.day = 5;
            t.hour = 14;
            t.minute = 7;
            t.second = 9;
            t.millisecond = 45;
            return t;
        });
        SetEngineLogPath(dir_.File("Plexivar.log"));
    }
    void TearDown() override {
        plexivar::platform::SetClockForTesting({});
        SetEngineLogPath("");
    }
    std::string Log() const { return plexivar::testing::TempDir::Read(dir_.File("Plexivar.log")); }

    plexivar::testing::TempDir dir_;
};

TEST_F(EngineLogTest, LinesCarryDayMonthTimeAndCrLf) {
    EngineLog("INFO: File %s is processed - ready to be moved", "a.tif");
    EngineLog("INFO: Initial\n %d", 2);
    EXPECT_EQ(Log(),
              "[05-03 14:07:09.045] INFO: File a.tif is processed - ready to be moved\r\n"
              "[05-03 14:07:09.045] INFO: Initial\n 2\r\n");
}

TEST_F(EngineLogTest, LongMessagesAreCutNotOverrun) {
    const std::string huge(40000, 'x');
    EngineLog("%s", huge.c_str());
    const std::string line = Log();
    ASSERT_EQ(line.size(), std::string("[05-03 14:07:09.045] ").size() + 15999 + 2);
    EXPECT_EQ(line.substr(line.size() - 3), "x\r\n");
}

TEST_F(EngineLogTest, ConcurrentLinesAreAllKeptWhole) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) EngineLog("thread %d line %d", t, i);
        });
    for (auto& th : threads) th.join();
    const std::string log = Log();
    std::size_t lines = 0;
    for (std::size_t pos = 0; (pos = log.find("\r\n[", pos)) != std::string::npos; ++pos) ++lines;
    EXPECT_EQ(lines + 1, 200u);
    EXPECT_EQ(log.find("\r\n\r\n"), std::string::npos);
}

TEST(TiffDiagnosticsTest, TitlesNameTheModuleOrTheLibrary) {
    EXPECT_EQ(FormatTiffDiagnostic(false, "TIFFReadDirectory", "unknown tag"),
              "TIFFReadDirectory Warning: unknown tag\n");
    EXPECT_EQ(FormatTiffDiagnostic(true, nullptr, "bad file"), "TIFFLIB Error: bad file\n");
}

TEST(TiffDiagnosticsTest, LibraryErrorsGoToBothStreams) {
    InstallTiffDiagnostics();
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    TIFFErrorExt(nullptr, nullptr, "code %d", 7);
    TIFFWarningExt(nullptr, "Mod", "careful");
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "TIFFLIB Error: code 7\nMod Warning: careful\n");
    EXPECT_EQ(err, out);

    // Removing them puts back what was there before.
    RemoveTiffDiagnostics();
    ::testing::internal::CaptureStdout();
    TIFFErrorExt(nullptr, nullptr, "quiet");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

}  // namespace
}  // namespace vestrel
