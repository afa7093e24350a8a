#include "platform/c_locale.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/file_ops.h"
#include "tests/support/temp_dir.h"

namespace plexivar::platform {
namespace {

using plexivar::testing::TempDir;

// Puts the whole process into a German locale (decimal comma) for the life of the object,
// as Qt does from the environment. A system without one gets one built by localedef into
// `scratch`, found through LOCPATH, so that the test runs on every machine; ok() is false,
// with the reason in why(), only when neither works.
class GermanProcessLocale {
  public:
    explicit GermanProcessLocale(const TempDir& scratch) {
        if (setlocale(LC_ALL, kName) == nullptr) {
            const std::string folder = scratch.File("locales");
            const std::string command =
                "localedef -c -i de_DE -f UTF-8 '" + folder + "/" + kName + "' >/dev/null 2>&1";
            if (!CreateDirectory(folder) || std::system(command.c_str()) == -1 ||
                setenv("LOCPATH", folder.c_str(), 1) != 0 || setlocale(LC_ALL, kName) == nullptr) {
                why_ = std::string(kName) +
                       " is not installed and `localedef -i de_DE -f UTF-8` "
                       "could not build it (it needs the Debian package `locales`, which "
                       "scripts/install-deps.sh installs)";
                return;
            }
        }
        if (std::string(localeconv()->decimal_point) != ",")
            why_ = std::string(kName) + " has no decimal comma here";
    }
    ~GermanProcessLocale() {
        setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
    }
    GermanProcessLocale(const GermanProcessLocale&) = delete;
    GermanProcessLocale& operator=(const GermanProcessLocale&) = delete;

    bool ok() const { return why_.empty(); }
    const std::string& why() const { return why_; }

  private:
    static constexpr const char* kName = "de_DE.UTF-8";
    std::string why_;
};

// The process's own printf, for comparison: it follows the process locale.
std::string ProcessPrintf(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

TEST(CLocale, NumbersIgnoreTheProcessLocale) {
    TempDir scratch;
    const GermanProcessLocale german(scratch);
    if (!german.ok())
        GTEST_SKIP() << german.why();
    ASSERT_EQ(ProcessPrintf(1.5), "1,5");

    EXPECT_EQ(FormatReal(99.5), "99.500000");
    EXPECT_EQ(Format("%.2f;%d", 1270.5, 7), "1270.50;7");
    const std::string longText(300, 'x');  // beyond the first formatting buffer
    EXPECT_EQ(Format("%s%.1f", longText.c_str(), 2.5), longText + "2.5");
    EXPECT_DOUBLE_EQ(ParseReal("99.5"), 99.5);
    EXPECT_DOUBLE_EQ(ParseReal("99,5"), 99.0);
    double value = 0;
    EXPECT_TRUE(ParseRealStrict("99.5", value));
    EXPECT_DOUBLE_EQ(value, 99.5);
    EXPECT_FALSE(ParseRealStrict("99,5", value));

    // The C locale is borrowed per call: the caller's thread keeps its own afterwards.
    EXPECT_EQ(ProcessPrintf(1.5), "1,5");
    std::string fromThread;
    std::thread([&] { fromThread = FormatReal(0.25) + " " + ProcessPrintf(0.5); }).join();
    EXPECT_EQ(fromThread, "0.250000 0,5");
}

TEST(CLocale, ConversionsFollowTheCLibraryRules) {
    struct IntCase {
        const char* text;
        long long value;  // ParseInt64; ParseInt clamps it to the int range
    };
    for (const IntCase c : {IntCase{"abc", 0},
                            {"  42xyz", 42},
                            {"08", 8},
                            {"-007", -7},
                            {"+12", 12},
                            {"", 0},
                            {"99999999999", 99999999999LL},
                            {"-99999999999", -99999999999LL},
                            {"-1234567890123", -1234567890123LL}}) {
        EXPECT_EQ(ParseInt64(c.text), c.value) << c.text;
        const long long clamped = std::clamp<long long>(c.value, INT_MIN, INT_MAX);
        EXPECT_EQ(ParseInt(c.text), clamped) << c.text;
    }

    struct RealCase {
        const char* text;
        double value;  // ParseReal: the longest valid prefix
        bool strict;   // ParseRealStrict accepts the whole text (as `value`)
    };
    for (const RealCase c : {RealCase{"1270.5", 1270.5, true},
                             {"1270", 1270.0, true},
                             {"-0.25", -0.25, true},
                             {"1e3", 1000.0, true},
                             {"abc", 0.0, false},
                             {"", 0.0, false},
                             {" 5", 5.0, false},
                             {"5 ", 5.0, false},
                             {"99.5%", 99.5, false}}) {
        EXPECT_DOUBLE_EQ(ParseReal(c.text), c.value) << c.text;
        double value = -1;
        EXPECT_EQ(ParseRealStrict(c.text, value), c.strict) << c.text;
        if (c.strict) {
            EXPECT_DOUBLE_EQ(value, c.value) << c.text;
        }
    }
    // No infinity and no NaN for the strict parser, however they are spelt.
    for (const char* text : {"inf", "-inf", "INF", "infinity", "nan", "NAN", "nan(1)", "1e999"}) {
        double value = -1;
        EXPECT_FALSE(ParseRealStrict(text, value)) << text;
        EXPECT_EQ(value, -1) << text;
    }
    EXPECT_EQ(FormatReal(1270), "1270.000000");
}

}  // namespace
}  // namespace plexivar::platform
