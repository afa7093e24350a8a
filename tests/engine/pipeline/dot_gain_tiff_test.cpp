// The dot-gain run end to end: tone of halftoned wedges, tags, polarity, curve selection by
// separation name, delivery, and refusal of bad input.
#include "engine/pipeline/dot_gain_tiff.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "engine/api/engine_setup.h"
#include "engine/pipeline/resample_tiff.h"
#include "engine/io/source_reader.h"
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

// Averaging over 4 x 4 pixels and forced bands of 10 %: the settings under which the filter
// reshapes dots (with the automatic choice at scale 1 every pixel lies in a forced band).
const char* const kReshaping =
    "[Preferences]\r\nAutomatic=0\r\nAverageFilterSize=4\r\nThreshold=10\r\n";
const char* const kMidToneBoost = "[All]\r\nXVal=3 0 50 100\r\nYVal=3 0 60 100\r\n";

using testing::ProgressSeen;
using testing::RecordProgress;

template <typename T>
T Tag(TIFF* tif, ttag_t tag) {
    T value{};
    TIFFGetField(tif, tag, &value);
    return value;
}

std::string Text(TIFF* tif, ttag_t tag) {
    char* text = nullptr;
    return TIFFGetField(tif, tag, &text) == 1 && text != nullptr ? text : "<none>";
}

class DotGainTiffTest : public testing::EngineScratchTest {
  protected:
    void SetUp() override { Configure(""); }

    // Starts the engine in the scratch folder with these ini sections.
    void Configure(const std::string& sections, int lineBuffers = 64) {
        StartEngine("[Setup]\r\nUseTempPath=0\r\n" + sections, lineBuffers);
    }

    int Run(
        const std::string& in, const std::string& out, const char* separation = "Black",
        const SleepFunction& sleep = [](int) {}) {
        PrepareCall(out);
        return RunDotGainTIFF(in.c_str(), separation, outputPath_.data(), errorText_.data(),
                              &RecordProgress, sleep);
    }
};

// Ink share of wedge step `step` (of `steps` across the width), away from the step edges
// where the coarse window sees the neighbouring steps.
double StepCoverage(const Appearance& a, int step, int steps) {
    const std::uint32_t w = a.width / static_cast<std::uint32_t>(steps);
    const std::uint32_t x0 = static_cast<std::uint32_t>(step) * w;
    return a.Coverage(x0 + 24, 24, x0 + w - 24, a.height - 24);
}

TEST_F(DotGainTiffTest, MidToneBoostDarkensTheWedgeByTheCurvesAmount) {
    Configure(std::string(kReshaping) + kMidToneBoost);
    PlateLayout layout;
    layout.width = 1000;
    layout.height = 300;
    const auto in = Plate("wedge-K.tif", layout);
    const auto out = dir_.File("out-K.tif");
    ASSERT_EQ(Run(in, out), 1) << ErrorText();
    EXPECT_EQ(ErrorText(), "");
    const Appearance before = Read(in);
    const Appearance after = Read(out);
    ASSERT_EQ(after.width, 1000u);
    ASSERT_EQ(after.height, 300u);
    // 0 %, 25 %, 50 %, 75 %, 100 % become 0, 31.5, 60, 81 and 100 %.
    const double expected[] = {0.0, 0.315, 0.60, 0.81, 1.0};
    for (int step = 0; step < 5; ++step) {
        EXPECT_NEAR(StepCoverage(after, step, 5), expected[step], 0.01)
            << "step " << step << " was " << StepCoverage(before, step, 5);
    }
    EXPECT_EQ(StepCoverage(after, 0, 5), 0.0) << "paper stays clean";
    EXPECT_EQ(StepCoverage(after, 4, 5), 1.0) << "solid stays solid";
}

TEST_F(DotGainTiffTest, IdentityCurveKeepsEveryStepsTone) {
    Configure(kReshaping);
    PlateLayout layout;
    layout.width = 1000;
    layout.height = 300;
    const auto in = Plate("wedge-C.tif", layout);
    const auto out = dir_.File("out-C.tif");
    ASSERT_EQ(Run(in, out, "Cyan"), 1) << ErrorText();
    const Appearance before = Read(in);
    const Appearance after = Read(out);
    for (int step = 0; step < 5; ++step)
        EXPECT_NEAR(StepCoverage(after, step, 5), StepCoverage(before, step, 5), 0.005) << step;
}

TEST_F(DotGainTiffTest, OutputKeepsSizeAndResolutionAndCarriesItsTags) {
    // Compression 0 in the ini does not apply: the output is always Group 4.
    dir_.Write("plexivar.ini", "[Setup]\r\nCompression=0\r\nExtraTags=0\r\n");
    InitializeEngine(dir_.path());
    StoreParams(100, 1, 1);
    const auto in = dir_.File("cm-M.tif");
    {
        PlateLayout layout;
        layout.width = 333;
        layout.height = 250;
        ASSERT_TRUE(testing::WritePlate(in, layout));
        // Rewrite the resolution per centimetre, with a page number and a subfile type.
        UniqueTiff t(TIFFOpen(in.c_str(), "r+"));
        ASSERT_TRUE(t);
        TIFFSetField(t.get(), TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
        TIFFSetField(t.get(), TIFFTAG_XRESOLUTION, 1000.0f);
        TIFFSetField(t.get(), TIFFTAG_YRESOLUTION, 500.0f);
        TIFFSetField(t.get(), TIFFTAG_PAGENUMBER, 2, 5);
        TIFFSetField(t.get(), TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        ASSERT_TRUE(TIFFRewriteDirectory(t.get()));
    }
    const std::string inBytes = TempDir::Read(in);
    const auto out = dir_.File("out-M.tif");
    ASSERT_EQ(Run(in, out, "Magenta"), 1) << ErrorText();
    EXPECT_EQ(WorkingName(), in + ".tmp");
    EXPECT_FALSE(fs::FileExists(WorkingName()));
    EXPECT_EQ(TempDir::Read(in), inBytes) << "the input is never changed";
    ASSERT_FALSE(ProgressSeen().empty());
    EXPECT_EQ(ProgressSeen().back(), 0);

    UniqueTiff tif(TIFFOpen(out.c_str(), "r"));
    ASSERT_TRUE(tif);
    TIFF* t = tif.get();
    EXPECT_EQ(Tag<std::uint32_t>(t, TIFFTAG_IMAGEWIDTH), 333u);
    EXPECT_EQ(Tag<std::uint32_t>(t, TIFFTAG_IMAGELENGTH), 250u);
    EXPECT_EQ(Tag<std::uint16_t>(t, TIFFTAG_COMPRESSION), COMPRESSION_CCITTFAX4);
    EXPECT_EQ(Tag<std::uint16_t>(t, TIFFTAG_PHOTOMETRIC), PHOTOMETRIC_MINISWHITE);
    EXPECT_FLOAT_EQ(Tag<float>(t, TIFFTAG_XRESOLUTION), 2540.0f);
    EXPECT_FLOAT_EQ(Tag<float>(t, TIFFTAG_YRESOLUTION), 1270.0f);
    std::uint16_t unit = 0;
    EXPECT_FALSE(TIFFGetField(t, TIFFTAG_RESOLUTIONUNIT, &unit)) << "none written";
    EXPECT_EQ(Tag<std::uint32_t>(t, TIFFTAG_ROWSPERSTRIP), 100u);
    EXPECT_EQ(Tag<std::uint16_t>(t, TIFFTAG_ORIENTATION), ORIENTATION_TOPLEFT);
    EXPECT_EQ(Tag<std::uint32_t>(t, TIFFTAG_SUBFILETYPE), std::uint32_t{FILETYPE_PAGE});
    std::uint16_t page = 0, pages = 0;
    TIFFGetField(t, TIFFTAG_PAGENUMBER, &page, &pages);
    EXPECT_EQ(page, 2);
    EXPECT_EQ(pages, 5);
    EXPECT_EQ(Text(t, TIFFTAG_IMAGEDESCRIPTION), "Resampler output");
    EXPECT_EQ(Text(t, TIFFTAG_ARTIST), "Tulvane");
    EXPECT_EQ(Text(t, TIFFTAG_SOFTWARE), "Quillon");
    EXPECT_EQ(Text(t, TIFFTAG_DATETIME).size(), 19u);
    // With the automatic choice at scale 1 every pixel lies in a forced band: the plate
    // passes unchanged.
    EXPECT_EQ(Read(out).ink, Read(in).ink);
}

TEST_F(DotGainTiffTest, BandHeightDoesNotChangeTheResult) {
    PlateLayout layout;
    layout.width = 300;
    layout.height = 700;
    layout.symmetric = true;
    const auto in = Plate("bands-K.tif", layout);
    std::vector<std::vector<std::uint8_t>> results;
    for (const int lines : {1024, 100, 7, 1}) {
        Configure(std::string(kReshaping) + "NoiseLevel=20\r\n" + kMidToneBoost, lines);
        const auto out = dir_.File("bands-" + std::to_string(lines) + ".tif");
        ASSERT_EQ(Run(in, out), 1) << lines << ": " << ErrorText();
        results.push_back(Read(out).ink);
    }
    for (const auto& r : results) EXPECT_EQ(r, results.front());
}

TEST_F(DotGainTiffTest, NegativeAndMinIsBlackInputsKeepTheirAppearance) {
    Configure(std::string(kReshaping) + kMidToneBoost);
    PlateLayout layout;
    layout.width = 400;
    layout.height = 200;
    layout.symmetric = true;  // paper at both edges: ink at both ends of a negative's row
    const auto plainOut = dir_.File("plain-out.tif");
    ASSERT_EQ(Run(Plate("plain-K.tif", layout), plainOut), 1) << ErrorText();
    const Appearance plain = Read(plainOut);

    // Stored with 0 = ink: inverted on reading, written min-is-white, same appearance.
    PlateLayout minIsBlack = layout;
    minIsBlack.minIsBlack = true;
    const auto mibOut = dir_.File("mib-out.tif");
    ASSERT_EQ(Run(Plate("mib-K.tif", minIsBlack), mibOut), 1) << ErrorText();
    EXPECT_EQ(Read(mibOut).photometric, PHOTOMETRIC_MINISWHITE);
    EXPECT_EQ(Read(mibOut).ink, plain.ink);

    // A negative (first row starts and ends with ink bytes) is filtered as the positive
    // and written back with its own polarity.
    PlateLayout negative = layout;
    negative.negative = true;
    const auto negOut = dir_.File("neg-out.tif");
    ASSERT_EQ(Run(Plate("neg-K.tif", negative), negOut), 1) << ErrorText();
    const Appearance neg = Read(negOut);
    ASSERT_EQ(neg.ink.size(), plain.ink.size());
    std::size_t same = 0;
    for (std::size_t i = 0; i < neg.ink.size(); ++i) same += neg.ink[i] == plain.ink[i];
    EXPECT_EQ(same, 0u) << "exactly the inverse of the positive's result";
}

TEST_F(DotGainTiffTest, SeparationNameSelectsTheCurveSection) {
    // Without the master curve the separation's own section applies; other names get the
    // identity curve. Broken sections (13 points, unequal counts) count as absent.
    Configure(std::string(kReshaping) +
              "UseMaster=0\r\n"
              "[Black]\r\nXVal=3 0 50 100\r\nYVal=3 0 60 100\r\n"
              "[Cyan]\r\nXVal=13 0 1 2 3 4 5 6 7 8 9 10 11 100\r\n"
              "YVal=13 0 1 2 3 4 5 6 7 8 9 10 11 100\r\n"
              "[Magenta]\r\nXVal=3 0 50 100\r\nYVal=2 0 100\r\n");
    PlateLayout layout;
    layout.width = 500;
    layout.height = 150;
    const auto in = Plate("names.tif", layout);
    auto runAs = [&](const char* name) {
        const auto out = dir_.File(std::string("out-") + name + ".tif");
        EXPECT_EQ(Run(in, out, name), 1) << name << ": " << ErrorText();
        return Read(out).ink;
    };
    const auto black = runAs("Black");
    const auto spot = runAs("Spot 7");
    EXPECT_NE(black, spot);
    EXPECT_EQ(runAs("Cyan"), spot);
    EXPECT_EQ(runAs("Magenta"), spot);
    EXPECT_EQ(runAs(""), spot);
    Appearance a;
    a.width = 500;
    a.height = 150;
    a.ink = black;
    Appearance b = a;
    b.ink = spot;
    EXPECT_GT(StepCoverage(a, 2, 5), StepCoverage(b, 2, 5) + 0.05);
}

TEST_F(DotGainTiffTest, BadInputIsRefusedWithAClearMessageAndLeavesNothingBehind) {
    const auto out = dir_.File("x-out.tif");
    EXPECT_EQ(Run(dir_.File("missing.tif"), out), 0);
    EXPECT_EQ(ErrorText(), "Error opening TIFF file " + dir_.File("missing.tif"));

    const auto junk = dir_.Write("junk.tif", "II*\0garbage that is no TIFF");
    EXPECT_EQ(Run(junk, out), 0);
    EXPECT_EQ(ErrorText(), "Error opening TIFF file " + junk);

    ASSERT_TRUE(testing::WriteGreyTiff(dir_.File("grey.tif"), 16, 4));
    EXPECT_EQ(Run(dir_.File("grey.tif"), out), 0);
    EXPECT_EQ(ErrorText(), "Unsupported bits-per-sample setting 8");

    // Damaged strip data: zero bytes are no valid Group 4 code.
    PlateLayout layout;
    layout.height = 600;
    layout.rowsPerStrip = 16;
    std::string bytes = TempDir::Read(Plate("whole-K.tif", layout));
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 3),
              bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2), '\0');
    const auto damaged = dir_.Write("damaged-K.tif", bytes);
    EXPECT_EQ(Run(damaged, out), 0);
    EXPECT_EQ(ErrorText().rfind("Error reading TIFF scanline ", 0), 0u) << ErrorText();
    EXPECT_EQ(ActiveSourceReader().readBuffer.size(), 0u) << "a failed run gives its memory back";

    // Fewer rows than half the xfrm window.
    PlateLayout flat;
    flat.height = 10;
    EXPECT_EQ(Run(Plate("flat-K.tif", flat), out), 0);
    EXPECT_EQ(ErrorText(), "Data estimation error - FilterEstimate: Area too small")
        << "the filter's reason follows the specified text";

    EXPECT_FALSE(fs::FileExists(out));
    EXPECT_FALSE(fs::FileExists(dir_.File("flat-K.tif.tmp")));
    EXPECT_FALSE(fs::FileExists(damaged + ".tmp"));
    EXPECT_EQ(RunDotGainTIFF(nullptr, "Black", outputPath_.data(), errorText_.data(), nullptr), 0);
    EXPECT_EQ(ErrorText(), "Missing file name");
}

TEST_F(DotGainTiffTest, WorkingNameThatDoesNotFitTheCallersBufferFailsTheCall) {
    const std::string folder = dir_.File(std::string(200, 'd'));
    ASSERT_TRUE(fs::CreateDirectory(folder));
    // "<in>.tmp" needs 260 bytes or more with its terminator: one more than the buffer holds.
    const std::size_t nameLength = (folder.size() < 251 ? 251 - folder.size() : 0) + 5;
    const std::string in = folder + "/" + std::string(nameLength, 'p') + ".tif";
    ASSERT_TRUE(testing::WritePlate(in, PlateLayout{}));
    ASSERT_GE(in.size() + 4, static_cast<std::size_t>(VESTREL_OUTPUT_PATH_SIZE));
    const auto out = dir_.File("long-out.tif");
    EXPECT_EQ(Run(in, out), 0);
    EXPECT_NE(ErrorText().find("Working file name too long"), std::string::npos) << ErrorText();
    EXPECT_EQ(WorkingName(), out) << "the caller's buffer is left as it was";
    EXPECT_FALSE(fs::FileExists(out));
}

// The dot-gain run delivers its working file "<in>.tmp" like the resampling run: straight,
// or staged through <output>/tmp or TempPath as UseTempPath says, with the same log lines.
TEST_F(DotGainTiffTest, DeliveryFollowsUseTempPath) {
    const auto in = Plate("stage-K.tif", PlateLayout{});
    const std::string out = dir_.File("out/stage-K.tif");
    ASSERT_TRUE(fs::CreateDirectory(dir_.File("out")));
    struct Case {
        const char* keys;
        std::string logLine;
    };
    for (const Case& c :
         {Case{"UseTempPath=0\r\n", "INFO: Moved " + in + ".tmp to " + out},
          Case{"UseTempPath=1\r\n", "INFO: Temporary filename " + dir_.File("out/tmp/stage-K.tif")},
          Case{"UseTempPath=2\r\nTempPath=stage\r\n",
               "INFO: Temporary filename " + dir_.File("stage/stage-K.tif")}}) {
        SCOPED_TRACE(c.keys);
        StartEngine(std::string("[Setup]\r\n") + c.keys, 64);
        fs::DeleteFile(dir_.File("Plexivar.log"));
        fs::DeleteFile(out);
        ASSERT_EQ(Run(in, out), 1) << ErrorText();
        EXPECT_TRUE(fs::FileExists(out));
        EXPECT_FALSE(fs::FileExists(in + ".tmp"));
        EXPECT_NE(TempDir::Read(dir_.File("Plexivar.log")).find(c.logLine), std::string::npos)
            << TempDir::Read(dir_.File("Plexivar.log"));
    }
}

TEST_F(DotGainTiffTest, MoveIsRetriedOnce) {
    const auto in = Plate("retry-Y.tif", PlateLayout{});
    const std::string folder = dir_.File("later");
    const std::string out = folder + "/out-Y.tif";
    // The first move fails (no such folder); the folder appears during the wait.
    std::vector<int> waits;
    auto createFolder = [&](int ms) {
        waits.push_back(ms);
        fs::CreateDirectory(folder);
    };
    ASSERT_EQ(Run(in, out, "Yellow", createFolder), 1) << ErrorText();
    EXPECT_EQ(ErrorText(), "");
    EXPECT_EQ(waits, std::vector<int>{2000}) << "the delivery's wait before its second move";
    EXPECT_TRUE(fs::FileExists(out));

    // Failing twice: the working file is deleted and the final path never appears.
    waits.clear();
    const std::string never = dir_.File("never/out-Y.tif");
    EXPECT_EQ(Run(in, never, "Yellow", [&](int ms) { waits.push_back(ms); }), 0);
    EXPECT_EQ(ErrorText(), "Error moving file " + in + ".tmp to " + never);
    EXPECT_EQ(waits, std::vector<int>{2000});
    EXPECT_FALSE(fs::FileExists(in + ".tmp"));
    EXPECT_FALSE(fs::FileExists(never));
}

TEST_F(DotGainTiffTest, SharedFixturesRunOrAreRefusedCleanly) {
    PLEXIVAR_REQUIRE_FIXTURES();
    Configure(std::string(kReshaping) + kMidToneBoost, 256);
    const auto out = dir_.File("fixture-out.tif");
    // Tone shift: +1 darker, -1 lighter (a negative is filtered as the positive: the boost
    // adds paper to its appearance), 0 not checked (sparse dispersed dots, which the forced
    // white band thins out).
    struct Case {
        const char* name;
        int shift;
    };
    for (const Case c :
         {Case{"page600-K.tif", 1}, Case{"var-lzw.tif", 1}, Case{"var-multipage-3.tif", 0},
          Case{"var-lsb2msb-g4.tif", 0}, Case{"var-tiled-g4.tif", 0},
          Case{"var-negative-minisblack-g4.tif", -1}}) {
        const std::string in = plexivar::testing::FixturePath(c.name);
        ASSERT_EQ(Run(in, out), 1) << c.name << ": " << ErrorText();
        const Appearance before = Read(in);
        const Appearance after = Read(out);
        ASSERT_EQ(after.width, before.width) << c.name;
        ASSERT_EQ(after.height, before.height) << c.name;
        const double was = before.Coverage(0, 0, before.width, before.height);
        const double is = after.Coverage(0, 0, after.width, after.height);
        if (c.shift < 0) {
            EXPECT_LT(is, was - 0.005) << c.name;
        } else if (c.shift > 0) {
            EXPECT_GT(is, was + 0.005) << c.name;
        }
    }
    const auto refused = dir_.File("refused-out.tif");
    for (const char* name : {"var-truncated-g4.tif", "var-gray8.tif"}) {
        EXPECT_EQ(Run(plexivar::testing::FixturePath(name), refused), 0) << name;
        EXPECT_NE(ErrorText(), "") << name;
        EXPECT_FALSE(fs::FileExists(refused));
    }
}

}  // namespace
}  // namespace vestrel
