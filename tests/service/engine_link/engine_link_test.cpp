// The engine binding against the real libvestrel.so, a missing library and a library that
// lacks the engine's functions.
#include "service/engine_link/engine_link.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/support/temp_dir.h"
#include "tests/support/test_plate.h"

namespace plexivar {
namespace {

using testing::ScopedCurrentDir;
using testing::TempDir;

TEST(EngineLink, BindsTheEngineAndCallsItWithItsBuffers) {
    TempDir dir;
    ScopedCurrentDir cd(dir.path());  // the engine keeps its logs where it is loaded
    dir.Write("plexivar.ini", "[Setup]\nUseTempPath=0\n");
    EngineLink engine;
    EXPECT_TRUE(engine.Load(VESTREL_LIBRARY_DIR).empty());
    ASSERT_TRUE(engine.CanResample());

    testing::TestPlate plate;
    plate.width = 128;
    ASSERT_TRUE(testing::WriteTestPlate(dir.File("in-K.tif"), plate));
    ResampleRequest request;
    request.input = dir.File("in-K.tif");
    request.output = dir.File("out-K.tif");
    request.resolutionX = request.resolutionY = 635;
    engine.SetParams(1024, 1, 1);
    const EngineResult done = engine.Resample(request, nullptr);
    ASSERT_TRUE(done.ok) << done.errorText;
    testing::PlateFacts facts;
    ASSERT_TRUE(testing::ReadPlateFacts(dir.File("out-K.tif"), facts));
    EXPECT_EQ(facts.width, 64u);
    EXPECT_FLOAT_EQ(facts.dpiX, 635.0f);

    // The engine's own message comes back as text.
    request.input = dir.File("missing.tif");
    const EngineResult missing = engine.Resample(request, nullptr);
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.errorText.find("missing.tif"), std::string::npos) << missing.errorText;

    // An output path that does not fit the engine's buffer is refused before the call.
    request.input = dir.File("in-K.tif");
    request.output = dir.path() + "/" + std::string(300, 'o') + ".tif";
    const EngineResult tooLong = engine.Resample(request, nullptr);
    EXPECT_FALSE(tooLong.ok);
    EXPECT_NE(tooLong.errorText.find("longer than 259"), std::string::npos);
    EXPECT_TRUE(testing::ReadPlateFacts(dir.File("in-K.tif"), facts));
}

TEST(EngineLink, MissingOrForeignLibrariesGiveTheOperatorsMessages) {
    TempDir dir;
    ScopedCurrentDir cd(dir.path());
    {
        EngineLink engine;  // nothing beside, nothing on the search path of this test
        const std::vector<std::string> messages = engine.Load(dir.path());
        ASSERT_EQ(messages, std::vector<std::string>{"Error loading libvestrel.so"});
        EXPECT_FALSE(engine.Loaded());
        EXPECT_FALSE(engine.LoadDetail().empty());
        engine.SetParams(1024, 1, 1);  // no call through a null address
        const EngineResult r = engine.Resample({}, nullptr);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errorText, "Error finding function names in libvestrel.so (ResamleTIFF)");
        EXPECT_FALSE(engine.SimpleResample("a", "b", 90).ok);
    }
    {
        // A library of that name without the engine's exports: one message per missing
        // required function.
        const std::string libm = "/lib/x86_64-linux-gnu/libm.so.6";
        if (access(libm.c_str(), R_OK) != 0) GTEST_SKIP() << libm << " not found";
        ASSERT_EQ(symlink(libm.c_str(), dir.File("libvestrel.so").c_str()), 0);
        EngineLink engine;
        const std::vector<std::string> messages = engine.Load(dir.path());
        EXPECT_EQ(messages, std::vector<std::string>(2, "Error finding function names in libvestrel.so"));
        EXPECT_TRUE(engine.Loaded());
        EXPECT_FALSE(engine.CanResample());
        EXPECT_FALSE(engine.DotGain("a", "Black", "b", nullptr).ok);
    }
}

}  // namespace
}  // namespace plexivar
