// A scratch folder with the engine started in it, and the caller-owned buffers of one
// pipeline call: the base of the pipeline tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "engine/api/engine_setup.h"
#include "engine/pipeline/resample_tiff.h"
#include "tests/engine/plate_images.h"
#include "tests/support/temp_dir.h"

namespace vestrel::testing {

// Progress values reported to RecordProgress since the last clear.
inline std::vector<int>& ProgressSeen() {
    static std::vector<int> seen;
    return seen;
}
inline int RecordProgress(int percent) {
    ProgressSeen().push_back(percent);
    return 0;
}

class EngineScratchTest : public ::testing::Test {
protected:
    // The stored progress function must not outlive the test that recorded with it.
    void TearDown() override { ProcessSetup().progress = nullptr; }

    // Starts the engine in the scratch folder with this ini text and these SetParams values.
    void StartEngine(const std::string& ini, int lineBuffers, int xRef = 1, int yRef = 1) {
        dir_.Write("plexivar.ini", ini);
        InitializeEngine(dir_.path());
        StoreParams(lineBuffers, xRef, yRef);
    }

    std::string Plate(const std::string& name, const PlateLayout& layout) {
        const std::string path = dir_.File(name);
        EXPECT_TRUE(WritePlate(path, layout));
        return path;
    }

    // Fills the output-path buffer with `out` and clears the error text and the progress.
    void PrepareCall(const std::string& out) {
        outputPath_.fill('\0');
        std::strncpy(outputPath_.data(), out.c_str(), outputPath_.size() - 1);
        errorText_.fill('\0');
        ProgressSeen().clear();
    }
    std::string ErrorText() const { return errorText_.data(); }
    std::string WorkingName() const { return outputPath_.data(); }

    static Appearance Read(const std::string& path) {
        Appearance a;
        EXPECT_TRUE(ReadAppearance(path, a)) << path;
        return a;
    }

    plexivar::testing::TempDir dir_;
    std::array<char, VESTREL_OUTPUT_PATH_SIZE> outputPath_{};
    std::array<char, VESTREL_ERROR_TEXT_SIZE> errorText_{};
};

}  // namespace vestrel::testing
