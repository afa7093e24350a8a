// The frame every export runs in: the caller's errorText gets the whole message up to the
// size the public header names, never a byte more, and nothing thrown leaves the library.
#include "engine/api/export_call.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/pipeline/dot_gain_tiff.h"
#include "engine/pipeline/resample_tiff.h"
#include "tests/engine/engine_test_support.h"

namespace vestrel {
namespace {

using testing::ProgressSeen;
using testing::RecordProgress;

// A caller's errorText of VESTREL_ERROR_TEXT_SIZE bytes followed by guard bytes that the
// engine must never touch.
struct GuardedText {
    static constexpr std::size_t kGuard = 64;
    std::vector<char> bytes = std::vector<char>(VESTREL_ERROR_TEXT_SIZE + kGuard, '#');
    char* data() { return bytes.data(); }
    std::string Text() const { return std::string(bytes.data()); }
    bool GuardIntact() const {
        for (std::size_t i = VESTREL_ERROR_TEXT_SIZE; i < bytes.size(); ++i)
            if (bytes[i] != '#') return false;
        return true;
    }
};

class ExportCallTest : public testing::EngineScratchTest {
protected:
    void SetUp() override { StartEngine("[Setup]\r\nUseTempPath=0\r\n", 64); }
};

// A long input path is named in full in the message ("Working file name too long ...: <path>");
// a message longer than the buffer is cut to it.
TEST_F(ExportCallTest, ErrorTextHoldsTheWholeMessageUpToTheHeadersSize) {
    struct Case {
        const char* exportName;
        std::size_t pathLength;
    };
    for (const Case c : {Case{"ResamleTIFF", 1000}, Case{"ResamleTIFF", 6000},
                         Case{"DotGainTIFF", 1000}, Case{"DotGainTIFF", 6000}}) {
        SCOPED_TRACE(std::string(c.exportName) + " " + std::to_string(c.pathLength));
        std::string in = dir_.path() + "/";
        while (in.size() < c.pathLength - 4) in += std::string(200, 'p') + "/";
        in.resize(c.pathLength - 4);
        in += ".tif";
        PrepareCall(dir_.File("out.tif"));
        GuardedText error;
        const bool resample = std::string(c.exportName) == "ResamleTIFF";
        const int ok =
            resample ? RunResamleTIFF(in.c_str(), outputPath_.data(), 0, 0, 1270, 1270, 100, 100,
                                      0, 0, 0, 0, error.data(), &RecordProgress, 0, "")
                     : RunDotGainTIFF(in.c_str(), "Black", outputPath_.data(), error.data(),
                                      &RecordProgress);
        EXPECT_EQ(ok, 0);
        EXPECT_TRUE(error.GuardIntact());
        const std::string text = error.Text();
        ASSERT_EQ(text.rfind("Working file name too long", 0), 0u) << text.substr(0, 80);
        if (c.pathLength < VESTREL_ERROR_TEXT_SIZE) {
            EXPECT_NE(text.find(in), std::string::npos) << "the message names the whole path";
        } else {
            EXPECT_EQ(text.size(), std::size_t{VESTREL_ERROR_TEXT_SIZE - 1});
        }
        EXPECT_EQ(ProgressSeen(), std::vector<int>{0}) << "a failed call clears the indicator";
    }
}

TEST_F(ExportCallTest, AnExceptionBecomesAFailedCallWithItsMessage) {
    GuardedText error;
    ProgressSeen().clear();
    EXPECT_EQ(RunExport(error.data(), &RecordProgress,
                        [](std::string&) -> int { throw std::runtime_error("boom"); }),
              0);
    EXPECT_EQ(error.Text(), "Unexpected error: boom");
    EXPECT_EQ(ProgressSeen(), std::vector<int>{0});

    std::string message;
    EXPECT_EQ(RunGuarded([](std::string&) -> int { throw 7; }, message), 0);
    EXPECT_EQ(message, "Unexpected error");
    EXPECT_EQ(RunExport(error.data(), nullptr,
                        [](std::string& m) {
                            m = "kept even on success";
                            return 1;
                        }),
              1);
    EXPECT_EQ(error.Text(), "kept even on success");
    EXPECT_TRUE(error.GuardIntact());
}

}  // namespace
}  // namespace vestrel
