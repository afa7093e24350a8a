#include "service/name_rewrite.h"

#include <gtest/gtest.h>

#include <string>

namespace plexivar {
namespace {

TEST(RewriteName, GroupsReplaceTheWholeName) {
    EXPECT_EQ(
        RewriteName(R"((.*)\((Cyan|Magenta|Yellow|Black)\)\.tif)", "$1-$2.tif", "tiger(Cyan).tif"),
        "tiger-Cyan.tif");
    EXPECT_EQ(RewriteName(R"((\d+)_(\w)\.tif)", "$1-$2.tif", "0042_m.tif"), "0042-m.tif");
}

TEST(RewriteName, PartialMatchCounts) {
    // The name ends while the expression could still complete: it counts as a match and
    // the partial match is replaced too. Boost sets no groups for a partial match, so
    // "$1" and "$2" are empty there.
    EXPECT_EQ(RewriteName(R"((\d+)-([CMYK])\.tif)", "$2-$1", "0042-C"), "-");
    EXPECT_EQ(RewriteName(R"(page(\d+)\.tif)", "p$1", "page7"), "p");
    EXPECT_EQ(RewriteName(R"(page(\d+)\.tif)", "$0", "page7"), "page7");
}

TEST(RewriteName, NoMatchKeepsTheName) {
    EXPECT_EQ(RewriteName(R"((\d+)-([CMYK])\.tif)", "$2", "abc.tif"), "abc.tif");
    EXPECT_EQ(RewriteName(R"(\d+)", "#", "12x"), "12x");  // not the whole name
}

TEST(RewriteName, BadExpressionKeepsTheNameAndSaysWhy) {
    for (const char* bad : {"(unclosed", "[z-a]", "*start", "a{3,1}", "(?<"}) {
        std::string error;
        EXPECT_EQ(RewriteName(bad, "$1", "0042-C.tif", &error), "0042-C.tif") << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(RewriteName, RunawayMatchGivesUpSafelyAndSaysWhy) {
    // Nested quantifiers over a long name that almost matches: Boost stops with an error
    // instead of running on, and the name is kept.
    const std::string name = std::string(1000, 'a') + "!";
    for (const char* runaway : {"(a*)*b", "(a|a)*b", "(a+)+b"}) {
        std::string error;
        EXPECT_EQ(RewriteName(runaway, "x", name, &error), name) << runaway;
        EXPECT_NE(error.find("complexity"), std::string::npos) << runaway << ": " << error;
    }
}

TEST(RewriteName, UsesAtMost1024Characters) {
    const std::string name = std::string(1024, 'a') + "-C.tif";
    // Only the first 1024 characters of the name take part.
    EXPECT_EQ(RewriteName("(a+)", "[$1]", name), "[" + std::string(1024, 'a') + "]");
    // The expression is cut the same way: the unclosed "[" after 1024 characters is never
    // compiled.
    std::string error;
    EXPECT_EQ(RewriteName(std::string(1024, 'a') + "[", "ok", name, &error), "ok");
    EXPECT_EQ(error, "");
}

TEST(RewriteName, BytesAbove127) {
    EXPECT_EQ(RewriteName("(.*)-(.*)\\.tif", "$2", "s\xE6t-bl\xE5.tif"), "bl\xE5");
}

}  // namespace
}  // namespace plexivar
