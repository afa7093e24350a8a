#include "engine/pipeline/resample_tiff.h"

#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <cstring>
#include <regex>

#include "engine/api/engine_setup.h"
#include "engine/pipeline/delivery.h"
#include "platform/file_ops.h"
#include "tests/engine/engine_test_support.h"
#include "tests/engine/plate_images.h"
#include "tests/engine/test_tiff_image.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

using plexivar::testing::TempDir;
using testing::Appearance;
using testing::PlateLayout;
namespace fs = plexivar::platform;

struct Job {
    bool keepSize = false;
    bool keepResolution = false;
    double resolution = 1270;
    double scaleX = 100, scaleY = 100;
    double top = 0, bottom = 0, left = 0, right = 0;
    std::string merge;
};

using testing::ProgressSeen;
using testing::RecordProgress;

class ResampleTiffTest : public testing::EngineScratchTest {
protected:
    void SetUp() override { Configure("UseTempPath=0\r\n"); }

    // Starts the engine in the scratch folder with these "Setup" keys.
    void Configure(const std::string& keys, int lineBuffers = 64, int xRef = 1, int yRef = 1) {
        StartEngine("[Setup]\r\n" + keys, lineBuffers, xRef, yRef);
    }

    // Runs one job into `out`; returns the result and leaves the texts in the members.
    int Run(const std::string& in, const std::string& out, const Job& job) {
        PrepareCall(out);
        return RunResamleTIFF(in.c_str(), outputPath_.data(), job.keepSize, job.keepResolution,
                              job.resolution, job.resolution, job.scaleX, job.scaleY, job.top,
                              job.bottom, job.left, job.right, errorText_.data(), &RecordProgress,
                              job.merge.empty() ? 0 : 1, job.merge.c_str());
    }
};

TEST_F(ResampleTiffTest, ResolutionChangeGivesTheScaledPlateAndItsTags) {
    PlateLayout layout;
    layout.dpi = 2400;
    const auto in = Plate("wedge-C.tif", layout);
    const std::string inBytes = TempDir::Read(in);
    const auto out = dir_.File("out-C.tif");
    ASSERT_EQ(Run(in, out, Job{}), 1) << ErrorText();
    EXPECT_EQ(ErrorText(), "");
    // The caller's buffer names the working file, which is gone after the move.
    EXPECT_EQ(WorkingName(), WorkingPath(in, ComputerName()));
    EXPECT_FALSE(fs::FileExists(WorkingName()));
    EXPECT_EQ(TempDir::Read(in), inBytes);

    UniqueTiff tif(TIFFOpen(out.c_str(), "r"));
    ASSERT_TRUE(tif);
    std::uint32_t w = 0, h = 0, rps = 0;
    std::uint16_t compression = 0, photometric = 9;
    float xres = 0;
    char* description = nullptr;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif.get(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(tif.get(), TIFFTAG_XRESOLUTION, &xres);
    TIFFGetField(tif.get(), TIFFTAG_ROWSPERSTRIP, &rps);
    TIFFGetField(tif.get(), TIFFTAG_IMAGEDESCRIPTION, &description);
    EXPECT_EQ(w, 338u);  // 640 / (2400/1270 in single precision)
    EXPECT_EQ(h, 253u);
    EXPECT_EQ(compression, COMPRESSION_CCITTFAX4);
    EXPECT_EQ(photometric, PHOTOMETRIC_MINISWHITE);
    EXPECT_FLOAT_EQ(xres, 1270.0f);
    EXPECT_EQ(rps, 64u);
    EXPECT_STREQ(description, "Black");
    EXPECT_FALSE(TIFFGetField(tif.get(), TIFFTAG_ARTIST, &description));
    ASSERT_FALSE(ProgressSeen().empty());
    EXPECT_EQ(std::vector<int>(ProgressSeen().end() - 5, ProgressSeen().end()),
              (std::vector<int>{96, 97, 98, 99, 0}));
}

TEST_F(ResampleTiffTest, HalftonedWedgeKeepsEveryStepsTone) {
    PlateLayout layout;
    layout.width = 800;
    layout.height = 400;
    layout.steps = 5;
    const auto in = Plate("wedge-M.tif", layout);
    for (const double scale : {99.5, 80.0, 130.0}) {
        Job job;
        job.keepResolution = true;
        job.scaleX = job.scaleY = scale;
        const auto out = dir_.File("out-M.tif");
        ASSERT_EQ(Run(in, out, job), 1) << ErrorText();
        const Appearance a = Read(in), b = Read(out);
        for (int step = 0; step < layout.steps; ++step) {
            // Centre of the step, away from its edges, in both images.
            const double x0 = (step + 0.25) / layout.steps, x1 = (step + 0.75) / layout.steps;
            const double before = a.Coverage(std::uint32_t(x0 * a.width), a.height / 4,
                                              std::uint32_t(x1 * a.width), a.height * 3 / 4);
            const double after = b.Coverage(std::uint32_t(x0 * b.width), b.height / 4,
                                             std::uint32_t(x1 * b.width), b.height * 3 / 4);
            EXPECT_NEAR(after, before, 0.02) << "scale " << scale << " step " << step;
        }
    }
}

TEST_F(ResampleTiffTest, KeepSizeCentresTheShrunkenImageOnAWhiteCanvas) {
    PlateLayout layout;
    layout.width = 800;
    layout.height = 200;
    layout.steps = 2;  // left half white, right half solid ink
    const auto in = Plate("k-K.tif", layout);
    Job job;
    job.keepSize = true;
    job.keepResolution = true;
    job.scaleX = job.scaleY = 90;
    const auto out = dir_.File("k-out.tif");
    ASSERT_EQ(Run(in, out, job), 1) << ErrorText();
    const Appearance b = Read(out);
    ASSERT_EQ(b.width, 800u);
    ASSERT_EQ(b.height, 200u);
    // 720 x 180 image: xOff 40 (a whole byte), yOff 10. The solid half ends at x 760.
    EXPECT_EQ(b.Coverage(780, 0, 800, 200), 0.0);  // right border white
    EXPECT_EQ(b.Coverage(0, 0, 800, 10), 0.0);     // top border white
    EXPECT_EQ(b.Coverage(0, 190, 800, 200), 0.0);  // bottom border white
    EXPECT_GT(b.Coverage(420, 20, 750, 180), 0.99);
}

TEST_F(ResampleTiffTest, KeepSizeOffsetIsRoundedUpToAByteAndLargerImagesAreCropped) {
    PlateLayout layout;
    layout.width = 400;
    layout.height = 100;
    layout.steps = 2;
    const auto in = Plate("r-K.tif", layout);
    Job job;
    job.keepSize = true;
    job.keepResolution = true;
    job.scaleX = job.scaleY = 97;  // 388 wide: xOff 6 -> placed at byte 1 (pixel 8)
    ASSERT_EQ(Run(in, dir_.File("r-out.tif"), job), 1) << ErrorText();
    Appearance b = Read(dir_.File("r-out.tif"));
    // Solid ink starts at scaled column 194 -> canvas 202.
    EXPECT_FALSE(b.Ink(200, 50));
    EXPECT_TRUE(b.Ink(204, 50));
    EXPECT_FALSE(b.Ink(398, 50));  // 8 + 388 = 396: nothing beyond

    // Larger than the canvas, reference 0: the top-left part is kept.
    Configure("UseTempPath=0\r\n", 64, 0, 0);
    job.scaleX = job.scaleY = 150;
    ASSERT_EQ(Run(in, dir_.File("r-big.tif"), job), 1) << ErrorText();
    b = Read(dir_.File("r-big.tif"));
    ASSERT_EQ(b.width, 400u);
    EXPECT_EQ(b.Coverage(0, 0, 290, 100), 0.0);  // white half scaled to 300 columns
    EXPECT_GT(b.Coverage(310, 0, 400, 100), 0.99);
}

TEST_F(ResampleTiffTest, NegativeAndMinIsBlackInputsKeepTheirAppearance) {
    PlateLayout layout;
    layout.width = 320;
    layout.height = 160;
    layout.steps = 3;
    layout.symmetric = true;  // paper at both ends of row 0, so a negative is recognised
    for (const bool minIsBlack : {false, true}) {
        for (const bool negative : {false, true}) {
            layout.minIsBlack = minIsBlack;
            layout.negative = negative;
            const auto in = Plate("n-K.tif", layout);
            Job job;
            job.keepSize = true;
            job.keepResolution = true;
            job.scaleX = job.scaleY = 90;
            const auto out = dir_.File("n-out.tif");
            ASSERT_EQ(Run(in, out, job), 1) << ErrorText();
            const Appearance a = Read(in), b = Read(out);
            const auto where = ::testing::Message() << "minIsBlack " << minIsBlack << " negative "
                                                    << negative;
            // The uncovered border takes the paper of the image: black for a negative.
            EXPECT_EQ(b.Ink(0, 0), negative) << where;
            EXPECT_EQ(b.Ink(319, 159), negative) << where;
            // The 50 % step spans input columns 54..106, output columns 16 + 0.9 x; the
            // 100 % step the middle.
            EXPECT_NEAR(b.Coverage(72, 40, 104, 120), a.Coverage(62, 40, 98, 120), 0.02) << where;
            EXPECT_NEAR(b.Coverage(130, 40, 190, 120), a.Coverage(130, 40, 190, 120), 0.02)
                << where;
        }
    }
}

TEST_F(ResampleTiffTest, MarginsAreRestoredByteExact) {
    PlateLayout layout;
    layout.width = 640;
    layout.height = 320;
    layout.dpi = 254;  // 10 pixels per millimetre
    const auto in = Plate("m-C.tif", layout);
    Job job;
    job.keepSize = true;
    job.keepResolution = true;
    job.scaleX = job.scaleY = 95;
    job.top = 2.05;     // 20 rows
    job.bottom = 3.05;  // 30 rows
    job.left = 1.65;    // 16 pixels = 2 bytes
    job.right = 0.85;   // 8 pixels = 1 byte
    const auto out = dir_.File("m-out.tif");
    ASSERT_EQ(Run(in, out, job), 1) << ErrorText();
    const Appearance a = Read(in), b = Read(out);
    for (std::uint32_t y = 0; y < 320; ++y) {
        if (y < 20 || y >= 290) {
            EXPECT_EQ(b.packed[y], a.packed[y]) << "row " << y;
        } else {
            EXPECT_EQ(b.packed[y][0], a.packed[y][0]) << "row " << y;
            EXPECT_EQ(b.packed[y][1], a.packed[y][1]) << "row " << y;
            EXPECT_EQ(b.packed[y][79], a.packed[y][79]) << "row " << y;
        }
    }
    std::uint32_t rps = 0;
    UniqueTiff tif(TIFFOpen(out.c_str(), "r"));
    TIFFGetField(tif.get(), TIFFTAG_ROWSPERSTRIP, &rps);
    EXPECT_EQ(rps, 256u);
}

TEST_F(ResampleTiffTest, StripsCompressionAndExtraTagsFollowTheIni) {
    PlateLayout layout;
    const auto in = Plate("s-Y.tif", layout);
    Configure("UseTempPath=0\r\nCompression=0\r\nExtraTags=1\r\nRowsPerStrip=100\r\n");
    Job job;
    job.keepSize = true;
    job.keepResolution = true;
    job.scaleX = job.scaleY = 99;
    ASSERT_EQ(Run(in, dir_.File("s-out.tif"), job), 1) << ErrorText();
    UniqueTiff tif(TIFFOpen(dir_.File("s-out.tif").c_str(), "r"));
    std::uint16_t compression = 0, page = 9, pages = 9;
    std::uint32_t rps = 0;
    char* text = nullptr;
    TIFFGetField(tif.get(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tif.get(), TIFFTAG_ROWSPERSTRIP, &rps);
    EXPECT_EQ(compression, COMPRESSION_NONE);
    EXPECT_EQ(rps, 100u);
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_ARTIST, &text));
    EXPECT_STREQ(text, "Tulvane");
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_SOFTWARE, &text));
    EXPECT_STREQ(text, "Quillon");
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_DATETIME, &text));
    EXPECT_EQ(std::strlen(text), 19u);
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_PAGENUMBER, &page, &pages));
    EXPECT_EQ(page, 0);
    EXPECT_EQ(pages, 0);

    // Compression 7 is Group 4 with Group4Options 0.
    Configure("UseTempPath=0\r\nCompression=7\r\n");
    ASSERT_EQ(Run(in, dir_.File("s-out2.tif"), Job{}), 1) << ErrorText();
    UniqueTiff tif2(TIFFOpen(dir_.File("s-out2.tif").c_str(), "r"));
    std::uint32_t options = 9;
    TIFFGetField(tif2.get(), TIFFTAG_COMPRESSION, &compression);
    EXPECT_EQ(compression, COMPRESSION_CCITTFAX4);
    EXPECT_TRUE(TIFFGetField(tif2.get(), TIFFTAG_GROUP4OPTIONS, &options));
    EXPECT_EQ(options, 0u);
}

TEST_F(ResampleTiffTest, DeliveryThroughTmpFolderAndTempPath) {
    PlateLayout layout;
    const auto in = Plate("d-C.tif", layout);
    fs::CreateDirectory(dir_.File("out"));
    for (const std::string& keys : std::vector<std::string>{"UseTempPath=1\r\n", "UseTempPath=2\r\nTempPath=" + dir_.File("stage") + "\r\n"}) {
        Configure(keys);
        const auto out = dir_.File("out/d-C.tif");
        fs::DeleteFile(out);
        ASSERT_EQ(Run(in, out, Job{}), 1) << ErrorText();
        EXPECT_TRUE(fs::FileExists(out));
        EXPECT_FALSE(fs::FileExists(WorkingName()));
        EXPECT_FALSE(fs::FileExists(dir_.File("out/tmp/d-C.tif")));
        EXPECT_FALSE(fs::FileExists(dir_.File("stage/d-C.tif")));
    }
}

TEST_F(ResampleTiffTest, BackgroundIsMergedIntoTheResult) {
    PlateLayout layout;
    layout.steps = 1;  // white plate
    const auto in = Plate("b-K.tif", layout);
    PlateLayout bg;
    bg.width = 100;
    bg.height = 50;
    bg.steps = 1;
    bg.negative = true;  // all ink
    const auto background = Plate("bg.tif", bg);
    Job job;
    job.keepSize = true;
    job.keepResolution = true;
    job.merge = background;
    ASSERT_EQ(Run(in, dir_.File("b-out.tif"), job), 1) << ErrorText();
    const Appearance b = Read(dir_.File("b-out.tif"));
    EXPECT_EQ(b.Coverage(0, 0, 100, 50), 1.0);
    EXPECT_EQ(b.Coverage(100, 50, 640, 480), 0.0);
    EXPECT_FALSE(fs::FileExists(WorkingName() + ".tmp2"));

    job.merge = dir_.File("no-such-background.tif");
    EXPECT_EQ(Run(in, dir_.File("b-out2.tif"), job), 0);
    // The specified text, then the merge's own reason, which names the background file.
    EXPECT_EQ(ErrorText().rfind("Error merging background file - ", 0), 0u) << ErrorText();
    EXPECT_NE(ErrorText().find(job.merge), std::string::npos) << ErrorText();
    EXPECT_FALSE(fs::FileExists(WorkingName()));
    EXPECT_FALSE(fs::FileExists(dir_.File("b-out2.tif")));
}

TEST_F(ResampleTiffTest, BadInputIsRefusedWithAClearMessageAndLeavesNothingBehind) {
    const auto out = dir_.File("x-out.tif");
    EXPECT_EQ(Run(dir_.File("missing.tif"), out, Job{}), 0);
    EXPECT_EQ(ErrorText(), "Error opening TIFF file " + dir_.File("missing.tif"));

    const auto junk = dir_.Write("junk.tif", "II*\0garbage that is no TIFF");
    EXPECT_EQ(Run(junk, out, Job{}), 0);
    EXPECT_NE(ErrorText(), "");

    // Eight bits per sample.
    ASSERT_TRUE(testing::WriteGreyTiff(dir_.File("grey.tif"), 16, 4));
    EXPECT_EQ(Run(dir_.File("grey.tif"), out, Job{}), 0);
    EXPECT_EQ(ErrorText(), "Unsupported bits-per-sample setting 8");

    PlateLayout narrow;
    narrow.width = 7;
    EXPECT_EQ(Run(Plate("narrow.tif", narrow), out, Job{}), 0);
    EXPECT_NE(ErrorText().find("7x480"), std::string::npos);

    Job zero;
    zero.scaleX = 0;
    EXPECT_EQ(Run(Plate("z.tif", PlateLayout{}), out, zero), 0);
    EXPECT_NE(ErrorText().find("scale"), std::string::npos);
    EXPECT_FALSE(fs::FileExists(out));
    EXPECT_FALSE(fs::FileExists(WorkingName()));
}

TEST_F(ResampleTiffTest, TruncatedFixtureFailsCleanly) {
    PLEXIVAR_REQUIRE_FIXTURES();
    const auto out = dir_.File("t-out.tif");
    EXPECT_EQ(Run(plexivar::testing::FixturePath("var-truncated-g4.tif"), out, Job{}), 0);
    EXPECT_NE(ErrorText(), "");
    EXPECT_FALSE(fs::FileExists(out));
    EXPECT_FALSE(fs::FileExists(WorkingName()));
}

TEST_F(ResampleTiffTest, CachedStreamedAndBandedRunsGiveTheSameBits) {
    PlateLayout layout;
    layout.width = 900;
    layout.height = 700;
    layout.symmetric = true;
    const auto in = Plate("same-C.tif", layout);
    Job job;
    job.keepSize = true;
    job.resolution = 1000;
    job.scaleX = 99.5;
    std::vector<std::string> outputs;
    int i = 0;
    for (const int cacheMB : {500, 0}) {
        for (const int lines : {1024, 64, 7}) {
            Configure("UseTempPath=0\r\nCacheAllLimitMB=" + std::to_string(cacheMB) + "\r\n",
                      lines);
            const auto out = dir_.File("same-" + std::to_string(i++) + ".tif");
            ASSERT_EQ(Run(in, out, job), 1) << ErrorText();
            outputs.push_back(TempDir::Read(out));
        }
    }
    for (const auto& o : outputs) EXPECT_EQ(o, outputs.front());
}

TEST_F(ResampleTiffTest, DamagedStripDataFailsInBothReadModes) {
    PlateLayout layout;
    layout.width = 640;
    layout.height = 2000;
    layout.rowsPerStrip = 16;
    std::string bytes = TempDir::Read(Plate("whole-K.tif", layout));
    // Zero bytes are no valid Group 4 code: the strips in the middle cannot be decoded.
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 3),
              bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2), '\0');
    const auto in = dir_.Write("damaged-K.tif", bytes);
    for (const int cacheMB : {500, 0}) {
        Configure("UseTempPath=0\r\nCacheAllLimitMB=" + std::to_string(cacheMB) + "\r\n");
        const auto out = dir_.File("damaged-out.tif");
        EXPECT_EQ(Run(in, out, Job{}), 0) << "CacheAllLimitMB " << cacheMB;
        // The specified text first (callers match it), then the reader's reason.
        std::smatch m;
        const std::string text = ErrorText();
        ASSERT_TRUE(std::regex_match(
            text, m, std::regex("Filtering error offset [0-9]+ - read error at input row ([0-9]+).*")))
            << text;
        const unsigned long row = std::stoul(m[1]);
        EXPECT_GE(row, 2000u / 3 - 16) << "the first damaged strip, not an early row";
        EXPECT_LT(row, 2000u / 2);
        EXPECT_FALSE(fs::FileExists(out));
        EXPECT_FALSE(fs::FileExists(WorkingName()));
    }
}

TEST_F(ResampleTiffTest, WorkingNameThatDoesNotFitIsRefused) {
    const std::string longName(250, 'a');
    const auto out = dir_.File("o.tif");
    EXPECT_EQ(Run(dir_.File(longName + ".tif"), out, Job{}), 0);
    EXPECT_NE(ErrorText().find("Working file name too long"), std::string::npos);
    EXPECT_EQ(WorkingName(), out);  // the caller's buffer is left alone
}

}  // namespace
}  // namespace vestrel
