#include "tests/fuzz/fuzz_targets.h"

#include <cstdio>
#include <cstdlib>

#include "engine/api/engine_log.h"
#include "engine/api/engine_setup.h"
#include "engine/filter/filter_log.h"
#include "tests/engine/plate_images.h"
#include "tests/fuzz/plate_parameters.h"
#include "tests/fuzz/scratch.h"
#include "tests/fuzz/target_functions.h"

namespace plexivar::fuzz {
namespace {

constexpr FuzzTarget kTargets[] = {
    {"resample", FuzzResamleTIFF, kResampleParameterBytes},
    {"simple_resample", FuzzSimpleResamleTIFF, kSimpleParameterBytes},
    {"dot_gain", FuzzDotGainTIFF, kDotGainParameterBytes},
    {"background_merge", FuzzBackgroundMerge, kMergeParameterBytes},
    {"row_reader", FuzzRowReader, 0},
    {"ini_file", FuzzIniFile, 0},
    {"information_file", FuzzInformationFile, 0},
    {"image_description", FuzzImageDescription, 0},
    {"name_pattern", FuzzNamePattern, 0},
    {"name_rewrite", FuzzNameRewrite, 0},
    {"mount_table", FuzzMountTable, 0},
    {"icmp_reply", FuzzIcmpReply, 0},
};

}  // namespace

std::span<const FuzzTarget> FuzzTargets() { return kTargets; }

const FuzzTarget* FindFuzzTarget(std::string_view name) {
    for (const FuzzTarget& target : kTargets)
        if (name == target.name) return &target;
    return nullptr;
}

void PrepareFuzzing() {
    static const bool prepared = [] {
        const std::string& folder = ScratchFolder();
        // Working files are delivered straight; the engine's logs would only grow.
        WriteScratchFile("plexivar.ini", "[Setup]\r\nUseTempPath=0\r\n");
        vestrel::InitializeEngine(folder);
        vestrel::SetEngineLogPath("");
        vestrel::SetFilterLogPath("");
        vestrel::testing::PlateLayout background;
        background.width = 200;
        background.height = 120;
        Require(vestrel::testing::WritePlate(BackgroundPlatePath(), background),
                "the background plate is written");
        return true;
    }();
    Require(prepared, "fuzzing is prepared");
}

void Require(bool promise, const char* what, const std::string& detail) {
    if (promise) return;
    std::fprintf(stderr, "broken promise: %s\n%s\n", what, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace plexivar::fuzz
