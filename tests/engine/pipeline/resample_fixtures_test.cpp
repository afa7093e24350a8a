// Every shared sample separation through the full resampling run: processed correctly, or
// refused with a message, and never a stray working, backup or staging file.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>

#include "engine/api/engine_setup.h"
#include "engine/pipeline/resample_tiff.h"
#include "platform/file_ops.h"
#include "tests/engine/plate_images.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

using plexivar::testing::TempDir;

struct Outcome {
    int result = 0;
    std::string error;
};

// Copies the fixture into a scratch folder (the engine writes its working file beside the
// input, and the shared folder is read-only) and scales it to 99.5 % x 99 % on its own page
// size, with 1 mm margins kept.
Outcome ResampleFixture(const TempDir& dir, const std::string& name, const std::string& out) {
    const std::string in = dir.File(name);
    EXPECT_TRUE(plexivar::platform::CopyFileReplace(plexivar::testing::FixturePath(name), in));
    std::array<char, VESTREL_OUTPUT_PATH_SIZE> outputPath{};
    std::strncpy(outputPath.data(), out.c_str(), outputPath.size() - 1);
    std::array<char, VESTREL_ERROR_TEXT_SIZE> errorText{};
    Outcome o;
    o.result = RunResamleTIFF(in.c_str(), outputPath.data(), 1, 1, 0, 0, 99.5, 99, 1, 1, 1, 1,
                              errorText.data(), nullptr, 0, "");
    o.error = errorText.data();
    return o;
}

// Files in the folder other than the inputs and the expected output.
std::vector<std::string> StrayFiles(const TempDir& dir, const std::string& keep1,
                                    const std::string& keep2) {
    std::vector<std::string> stray;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = e.path().filename().string();
        if (name != keep1 && name != keep2 && name != "plexivar.ini" && name != "Plexivar.log" &&
            name != "vestrel.log")
            stray.push_back(name);
    }
    return stray;
}

TEST(ResampleFixtures, ReadableSeparationsAreResampledWithTheirAppearance) {
    PLEXIVAR_REQUIRE_FIXTURES();
    for (const std::string name :
         {"var-miniswhite-g4.tif", "var-negative-g4.tif", "var-negative-minisblack-g4.tif",
          "var-cm-g4.tif", "var-multipage-3.tif", "var-none.tif", "var-lzw.tif",
          "var-packbits.tif", "var-onestrip-g4.tif", "var-lsb2msb-g4.tif",
          "var-bigendian-g4.tif", "var-tiled-g4.tif", "tiger600-K.tif", "page1270-M.tif"}) {
        TempDir dir;
        dir.Write("plexivar.ini", "[Setup]\r\nUseTempPath=0\r\n");
        InitializeEngine(dir.path());
        StoreParams(256, 1, 1);
        const std::string out = dir.File("out.tif");
        const Outcome o = ResampleFixture(dir, name, out);
        ASSERT_EQ(o.result, 1) << name << ": " << o.error;
        EXPECT_TRUE(StrayFiles(dir, name, "out.tif").empty()) << name;
        // Same page size; the ink of the middle of the page within 2 points.
        testing::Appearance a, b;
        ASSERT_TRUE(testing::ReadAppearance(dir.File(name), a));
        ASSERT_TRUE(testing::ReadAppearance(out, b));
        EXPECT_EQ(b.width, a.width) << name;
        EXPECT_EQ(b.height, a.height) << name;
        EXPECT_NEAR(b.Coverage(b.width / 4, b.height / 4, b.width * 3 / 4, b.height * 3 / 4),
                    a.Coverage(a.width / 4, a.height / 4, a.width * 3 / 4, a.height * 3 / 4), 0.02)
            << name;
    }
}

TEST(ResampleFixtures, UnsupportedAndDamagedFilesAreRefusedCleanly) {
    PLEXIVAR_REQUIRE_FIXTURES();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"var-gray8.tif", "Unsupported bits-per-sample setting 8"},
        {"var-truncated-g4.tif", "Filtering error offset "},
    };
    for (const auto& [name, message] : cases) {
        TempDir dir;
        dir.Write("plexivar.ini", "[Setup]\r\nUseTempPath=1\r\n");
        InitializeEngine(dir.path());
        StoreParams(256, 1, 1);
        const Outcome o = ResampleFixture(dir, name, dir.File("out.tif"));
        EXPECT_EQ(o.result, 0) << name;
        EXPECT_EQ(o.error.rfind(message, 0), 0u) << name << ": " << o.error;
        EXPECT_TRUE(StrayFiles(dir, name, "").empty()) << name;
    }
}

}  // namespace
}  // namespace vestrel
