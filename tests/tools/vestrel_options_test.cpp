#include "tools/vestrel/vestrel_options.h"

#include <gtest/gtest.h>

namespace plexivar::tools {
namespace {

using Kind = ParsedCommand::Kind;

TEST(VestrelOptions, FullResampleCommand) {
    const auto c = ParseCommandLine({"resample", "in.tif", "out.tif", "--resolution", "1270x2540",
                                     "--scale", "99.5x100", "--keep-size", "--margins",
                                     "5,6,7.5,8", "--reference", "0,2", "--lines", "16",
                                     "--merge", "bg.tif"});
    ASSERT_EQ(c.kind, Kind::Resample) << c.error;
    const ResampleOptions& o = c.resample;
    EXPECT_EQ(o.input, "in.tif");
    EXPECT_EQ(o.output, "out.tif");
    EXPECT_DOUBLE_EQ(o.resolutionX, 1270);
    EXPECT_DOUBLE_EQ(o.resolutionY, 2540);
    EXPECT_DOUBLE_EQ(o.scaleX, 99.5);
    EXPECT_DOUBLE_EQ(o.scaleY, 100);
    EXPECT_FALSE(o.keepResolution);
    EXPECT_TRUE(o.keepSize);
    EXPECT_DOUBLE_EQ(o.leftMargin, 7.5);
    EXPECT_EQ(o.xReference, 0);
    EXPECT_EQ(o.yReference, 2);
    EXPECT_EQ(o.lines, 16);
    EXPECT_EQ(o.mergeBackground, "bg.tif");
}

TEST(VestrelOptions, WithoutAResolutionTheFileResolutionIsKept) {
    const auto c = ParseCommandLine({"resample", "a", "b", "--scale", "99"});
    ASSERT_EQ(c.kind, Kind::Resample);
    EXPECT_TRUE(c.resample.keepResolution);
    EXPECT_DOUBLE_EQ(c.resample.scaleX, 99);
    EXPECT_DOUBLE_EQ(c.resample.scaleY, 99);
    EXPECT_EQ(c.resample.xReference, 1);
}

TEST(VestrelOptions, BadValuesAreRefusedWithAReason) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"shrink", "a", "b"},
             {"resample", "a"},
             {"resample", "a", "b", "c"},
             {"resample", "a", "b", "--scale"},
             {"resample", "a", "b", "--scale", "0"},
             {"resample", "a", "b", "--scale", "-5"},
             {"resample", "a", "b", "--scale", "99,5"},
             {"resample", "a", "b", "--resolution", "abc"},
             {"resample", "a", "b", "--resolution", "1270x"},
             {"resample", "a", "b", "--margins", "1,2,3"},
             {"resample", "a", "b", "--margins", "1,2,3,-4"},
             {"resample", "a", "b", "--reference", "3,0"},
             {"resample", "a", "b", "--lines", "0"},
             {"resample", "a", "b", "--lines", "1.5"},
             {"resample", "a", "b", "--bogus"},
         }) {
        const auto c = ParseCommandLine(args);
        EXPECT_EQ(c.kind, Kind::Error) << testing::PrintToString(args);
        EXPECT_FALSE(c.error.empty());
    }
}

TEST(VestrelOptions, SimpleAndDotGainCommands) {
    auto c = ParseCommandLine({"simple", "a.tif", "b.tif", "--scale", "99.5"});
    ASSERT_EQ(c.kind, Kind::Simple) << c.error;
    EXPECT_EQ(c.simple.input, "a.tif");
    EXPECT_EQ(c.simple.output, "b.tif");
    EXPECT_DOUBLE_EQ(c.simple.scale, 99.5);
    c = ParseCommandLine({"dotgain", "--separation", "Black", "a.tif", "b.tif"});
    ASSERT_EQ(c.kind, Kind::DotGain) << c.error;
    EXPECT_EQ(c.dotGain.separation, "Black");
    EXPECT_EQ(c.dotGain.output, "b.tif");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"simple", "a", "b"},
             {"simple", "a", "b", "--scale", "x"},
             {"simple", "a", "b", "--scale", "-1"},
             {"simple", "a", "--scale", "99"},
             {"dotgain", "a", "b"},
             {"dotgain", "a", "b", "--separation", ""},
             {"dotgain", "a", "b", "--separation", "K", "--scale", "9"},
         })
        EXPECT_EQ(ParseCommandLine(args).kind, Kind::Error) << testing::PrintToString(args);
}

TEST(VestrelOptions, Help) {
    EXPECT_EQ(ParseCommandLine({"--help"}).kind, Kind::Help);
    EXPECT_EQ(ParseCommandLine({"resample", "--help"}).kind, Kind::Help);
    EXPECT_NE(VestrelUsage().find("--keep-size"), std::string::npos);
}

}  // namespace
}  // namespace plexivar::tools
