// The resampling filter as the pipeline drives it: set-up, bands, failures, seamless bands and
// a pinned checksum.
#include "engine/filter/resample_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/filter/filter_log.h"
#include "engine/filter/filter_state.h"
#include "tests/engine/filter/filter_test_image.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

using testing::FailingReader;
using testing::HalftoneImage;
using testing::ReaderLog;
using testing::ResampleSettings;
using testing::RunFilter;
using testing::ServeImage;
using testing::TestImage;

// Routes the filter log into a scratch folder for the test.
class ResampleFilter : public ::testing::Test {
  protected:
    void SetUp() override {
        previousLog_ = FilterLogPath();
        SetFilterLogPath(dir_.File("vestrel.log"));
        SetRandomReverse(0);
    }
    void TearDown() override {
        SetFilterLogPath(previousLog_);
        ClearCurrentFilterSettings();
        SetRandomReverse(0);
    }
    std::string Log() const { return plexivar::testing::TempDir::Read(dir_.File("vestrel.log")); }

    plexivar::testing::TempDir dir_;
    std::string previousLog_;
};

TEST_F(ResampleFilter, ZeroSizedBandsReturnOneAndLeaveStatusAtOne) {
    TestImage image(20, 20, 255);
    ReaderLog log;
    ServeImage(&image, &log);
    FilterSettings s = ResampleSettings(image, 1.0f, 1);
    PublishFilterSettings(s);
    SourceRowSet rows;
    int status = -1;
    ASSERT_EQ(InitResampleFilter(s.DestDesc, rows, status), 1);
    EXPECT_EQ(status, 0);
    AreaDesc band = s.DestDesc;
    band.h = 0;
    EXPECT_EQ(DoFilterData(band, status, rows, 1), 1);
    EXPECT_EQ(status, 1);
    band = s.DestDesc;
    band.w = 0;
    status = 0;
    EXPECT_EQ(DoFilterData(band, status, rows, 1), 1);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(log.calls, 0);  // nothing fetched, nothing written
    ReleaseBandTables();
    ReleaseErrorRows();
}

TEST_F(ResampleFilter, FailuresReturnZeroWithStatusOneAndALogLine) {
    TestImage image(16, 16, 255);
    FilterSettings s = ResampleSettings(image, 1.0f, 1);
    SourceRowSet rows;
    int status = 0;

    // No current settings.
    ClearCurrentFilterSettings();
    EXPECT_EQ(InitResampleFilter(s.DestDesc, rows, status), 0);
    EXPECT_EQ(status, 1);

    // A scale that is not a positive number.
    s.ScaleX = 0.0f;
    PublishFilterSettings(s);
    EXPECT_EQ(InitResampleFilter(s.DestDesc, rows, status), 0);
    s.ScaleX = 1.0f;

    // The reader fails: the band fails, status stays 1.
    SetSourceReader(&FailingReader);
    ASSERT_EQ(InitResampleFilter(s.DestDesc, rows, status), 1);
    std::vector<std::uint8_t> out(16 * 16);
    std::vector<std::uint8_t*> outRows;
    for (int k = 0; k < 16; ++k) outRows.push_back(&out[static_cast<std::size_t>(k) * 16]);
    std::uint8_t** table = outRows.data();
    AreaDesc band = s.DestDesc;
    band.rowTables = &table;
    EXPECT_EQ(DoFilterData(band, status, rows, 1), 0);
    EXPECT_EQ(status, 1);

    // A band narrower than the set-up would index the error rows and column tables wrongly.
    ServeImage(&image, nullptr);
    band.w = 8;
    EXPECT_EQ(DoFilterData(band, status, rows, 1), 0);
    EXPECT_EQ(status, 1);

    // After the image has been released, a band is refused instead of touching freed rows.
    band.w = 16;
    ReleaseBandTables();
    ReleaseErrorRows();
    EXPECT_EQ(DoFilterData(band, status, rows, 0), 0);

    const std::string log = Log();
    EXPECT_NE(log.find("InitResampleFilter: no filter settings\n"), std::string::npos);
    EXPECT_NE(log.find("InitResampleFilter: invalid scale"), std::string::npos);
    EXPECT_NE(log.find("FilterArea: GetData returned FALSE\n"), std::string::npos);
    EXPECT_NE(log.find("FilterArea: invalid band x=0,y=0,w=8,h=16"), std::string::npos);
}

TEST_F(ResampleFilter, RequestsStayInsideTheSourceWhenTheOutputReachesBeyondIt) {
    // Output area taller and wider than the source maps to (scale 0.5 -> 2x the pixels, plus
    // 7 more): samples past the edge read the edge pixels, requests stay inside the image.
    TestImage image = HalftoneImage(37, 29, 6);
    ReaderLog log;
    ServeImage(&image, &log);
    for (int n : {1, 2, 5}) {
        FilterSettings s = ResampleSettings(image, 0.5f, n);
        s.DestDesc.w = s.DestDesc.w + 7;
        s.DestDesc.h = s.DestDesc.h + 7;
        bool ok = false;
        const auto out = RunFilter(s, image, 10, ok);
        ASSERT_TRUE(ok) << n;
        EXPECT_FALSE(log.outOfBounds) << n;
        for (std::uint8_t v : out) ASSERT_TRUE(v == 0 || v == 255);
    }
}

TEST_F(ResampleFilter, AveragingWindowLargerThanTheImage) {
    // 12 rows: not more than half the window, so no averaging at all; 20 rows: averaged with
    // windows clipped on every side.
    for (int height : {12, 20})
        for (std::uint8_t fill : {std::uint8_t{0}, std::uint8_t{255}}) {
            TestImage image(10, height, fill);
            ServeImage(&image, nullptr);
            FilterSettings s = ResampleSettings(image, 1.3f, 32);
            bool ok = false;
            const auto out = RunFilter(s, image, 4, ok);
            ASSERT_TRUE(ok);
            EXPECT_TRUE(
                std::all_of(out.begin(), out.end(), [fill](std::uint8_t v) { return v == fill; }))
                << "fill " << int{fill} << " height " << height;
        }
}

TEST_F(ResampleFilter, GreySourcesGiveGreyValues) {
    TestImage image(8, 6, 0);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) image.at(x, y) = static_cast<std::uint8_t>(x * 30);
    ServeImage(&image, nullptr);
    FilterSettings s = ResampleSettings(image, 1.0f, 1);
    s.BitsPerSample = 8;
    bool ok = false;
    EXPECT_EQ(RunFilter(s, image, 4, ok), image.pixels);  // scale 1: unchanged
    ASSERT_TRUE(ok);
    // Scale 0.5: every other output column lies halfway between two source columns.
    s = ResampleSettings(image, 0.5f, 1);
    s.BitsPerSample = 8;
    const auto out = RunFilter(s, image, 4, ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 15);
    EXPECT_EQ(out[2], 30);
    EXPECT_EQ(out[15], 210);  // past the last column: the edge value
}

TEST_F(ResampleFilter, BandsOfSixteenAndOfManyRowsGiveTheSameBits) {
    const TestImage image = HalftoneImage(203, 171, 7);
    ReaderLog log;
    ServeImage(&image, &log);
    struct Case {
        float scale;
        int n;
        int noise;
        int reverse;
        int diffusionType;
    };
    for (const Case c : {Case{1.0f, 1, 0, 0, 2}, Case{1.005f, 2, 0, 0, 2}, Case{1.89f, 1, 0, 0, 2},
                         Case{1.89f, 4, 5, 0, 2}, Case{0.7f, 3, 0, 1, 2}, Case{1.0f, 5, 3, 0, 2},
                         Case{2.5f, 16, 0, 0, 2}, Case{1.2f, 2, 0, 0, 1}, Case{0.4f, 6, 2, 1, 0},
                         Case{0.25f, 2, 0, 0, 2}, Case{0.3f, 5, 0, 0, 2}}) {
        SetRandomReverse(c.reverse);
        FilterSettings s = ResampleSettings(image, c.scale, c.n);
        s.NoiseLevel = c.noise;
        s.DiffusionType = c.diffusionType;
        bool ok16 = false;
        bool ok1024 = false;
        log.maxRows = 0;
        const auto banded = RunFilter(s, image, 16, ok16);
        // The bound the pipeline sizes its source rows by holds.
        EXPECT_LE(log.maxRows, MaxResampleRequestRows(s, 16));
        const auto whole = RunFilter(s, image, 1024, ok1024);
        ASSERT_TRUE(ok16 && ok1024);
        EXPECT_EQ(banded, whole) << "scale " << c.scale << " n " << c.n;
        // Odd band heights cut the image at other rows again.
        const auto odd = RunFilter(s, image, 7, ok16);
        EXPECT_EQ(odd, whole) << "scale " << c.scale << " n " << c.n;
        // And the output is a real rescreen, not blank.
        const auto black = std::count(whole.begin(), whole.end(), 255);
        EXPECT_GT(black, static_cast<long>(whole.size() / 5));
        EXPECT_LT(black, static_cast<long>(whole.size() * 4 / 5));
    }
}

TEST_F(ResampleFilter, OutputChecksumIsPinned) {
    // Any change of the arithmetic (rounding order, bands, generator) shows here; Debug and
    // Release builds must agree on it.
    const TestImage image = HalftoneImage(160, 120, 6);
    ServeImage(&image, nullptr);
    SetRandomReverse(0);
    FilterSettings s = ResampleSettings(image, 1.37f, 4);
    s.NoiseLevel = 4;
    bool ok = false;
    const auto out = RunFilter(s, image, 32, ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(testing::Fnv1a(out), 4397977776106684048ull);
    FilterSettings t = ResampleSettings(image, 1.005f, 2);
    EXPECT_EQ(testing::Fnv1a(RunFilter(t, image, 32, ok)), 16432034019103788895ull);

    // Rows wide enough to be prepared on a second thread while they are diffused: the same
    // bits as one thread gave before there was a second one. The fan-out setting, and noise.
    const TestImage wide = HalftoneImage(1500, 70, 6);
    ServeImage(&wide, nullptr);
    FilterSettings fanOut = ResampleSettings(wide, 1.005f, 2);
    EXPECT_EQ(testing::Fnv1a(RunFilter(fanOut, wide, 16, ok)), 11350681857693622066ull);
    ASSERT_TRUE(ok);
    FilterSettings noisy = ResampleSettings(wide, 1.37f, 4);
    noisy.NoiseLevel = 4;
    EXPECT_EQ(testing::Fnv1a(RunFilter(noisy, wide, 16, ok)), 17947254717824976547ull);
    ASSERT_TRUE(ok);
}

TEST_F(ResampleFilter, VerboseWritesTimingLines) {
    TestImage image(16, 16, 255);
    ServeImage(&image, nullptr);
    FilterSettings s = ResampleSettings(image, 1.0f, 2);  // even window: half-pixel bias
    s.Verbose = 1;
    bool ok = false;
    RunFilter(s, image, 8, ok);
    ASSERT_TRUE(ok);
    const std::string log = Log();
    EXPECT_NE(log.find("DoFilterData: DestDesc x=0,y=8,w=16,h=8\n"), std::string::npos);
    EXPECT_NE(log.find("FilterArea: got src data sep 0: "), std::string::npos);
    EXPECT_NE(log.find("FilterArea: avg      data sep 0: "), std::string::npos);
    EXPECT_NE(log.find("FilterArea: filtering    16x    8 pixels from (    0,    8) done in: "),
              std::string::npos);
    // The bias of -0.5 makes an even window resample although the scale is 1.
    EXPECT_NE(log.find("(Doreschange=1, doaverage=1, addnoise=0, Noiselevel=0.00\n"),
              std::string::npos);
}

}  // namespace
}  // namespace vestrel

namespace vestrel {
namespace {

TEST(FilterLog, AppendsMessagesCutTo511Characters) {
    plexivar::testing::TempDir dir;
    const std::string previous = FilterLogPath();
    SetFilterLogPath(dir.File("vestrel.log"));
    FilterLog("first %d\n", 1);
    FilterLog("%s", std::string(600, 'x').c_str());
    SetFilterLogPath(dir.File("missing/vestrel.log"));
    FilterLog("lost\n");  // a log that cannot be opened loses the message, nothing else
    SetFilterLogPath(previous);
    EXPECT_EQ(plexivar::testing::TempDir::Read(dir.File("vestrel.log")),
              "first 1\n" + std::string(511, 'x'));
}

}  // namespace
}  // namespace vestrel
