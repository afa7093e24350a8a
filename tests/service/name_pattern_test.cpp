#include "service/name_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/name_fields.h"

namespace plexivar {
namespace {

TEST(ExpandNamePattern, Placeholders) {
    EXPECT_EQ(ExpandNamePattern("%?-%C.tif"), "?-C.tif");
    EXPECT_EQ(ExpandNamePattern("%3?%C"), "???C");
    EXPECT_EQ(ExpandNamePattern("%2?_%C_%3Z"), "??_C_ZZZ");
    EXPECT_EQ(ExpandNamePattern("%c%z"), "CZ");             // letters are case-insensitive
    EXPECT_EQ(ExpandNamePattern("JOB%C.TIF"), "jobC.tif");  // literal text is lower-cased
    // A missing or non-positive count means one character, and the text after "%" is
    // then the placeholder character itself.
    EXPECT_EQ(ExpandNamePattern("%0C"), "0c");
    EXPECT_EQ(ExpandNamePattern("%-2C"), "-2c");
    EXPECT_EQ(ExpandNamePattern("%%"), "%");
    EXPECT_EQ(ExpandNamePattern("a%"), "a");  // a trailing "%" names nothing
    EXPECT_EQ(ExpandNamePattern(""), "");
}

TEST(ExpandNamePattern, HugeCountIsBounded) {
    EXPECT_EQ(ExpandNamePattern("%99999999999C").size(),
              static_cast<std::size_t>(kMaxPlaceholderCount));
}

TEST(ColourFromName, FieldForm) {
    std::string zone;
    EXPECT_EQ(ColourFromName("%?-%C.tif", "12345-C.tif", zone, "-_."), "C");
    EXPECT_EQ(ColourFromName("%?-%C.tif", "12345_M.tif", zone, "-_."), "M");
    EXPECT_EQ(ColourFromName("%?-%C.tif", "page7-cyan.tif", zone, "-_."), "cyan");
    EXPECT_EQ(ColourFromName("%?-%C.tif", "0042-Y.tif", zone, "-_."), "Y");
    EXPECT_EQ(zone, "");
    EXPECT_EQ(ColourFromName("%?-%C-%Z.tif", "0042-K-12.tif", zone, "-_."), "K");
    EXPECT_EQ(zone, "12");
    // In the field form each mask character takes one field, so a count shifts the
    // fields: "??_C_ZZZ" reads 'ab_M_7' as ?=ab, _=M, _=7 and finds no colour.
    EXPECT_EQ(ColourFromName("%2?_%C_%3Z", "ab_M_7", zone, "-_."), "");
    EXPECT_EQ(zone, "7");
    EXPECT_EQ(ColourFromName("%?_%C_%Z", "ab_M_7", zone, "-_."), "M");
    EXPECT_EQ(zone, "7");
    // Two dashes shift the fields: the colour is the second field.
    EXPECT_EQ(ColourFromName("%?-%C.tif", "tiger-600-C.tif", zone, "-_."), "600");
}

TEST(ColourFromName, FixedPositionForm) {
    std::string zone;
    EXPECT_EQ(ColourFromName("job%3?%C", "job123K.tif", zone, "-_."), "K");
    EXPECT_EQ(ColourFromName("%4?%C%2Z", "0042M07x", zone, "-_."), "M");
    EXPECT_EQ(zone, "07");
    // Positions past the end of a short name are absent.
    EXPECT_EQ(ColourFromName("job%3?%C", "job12", zone, "-_."), "");
    EXPECT_EQ(ColourFromName("%4?%C%2Z", "0042M0", zone, "-_."), "M");
    EXPECT_EQ(zone, "0");
    // Without separators every mask is read by position.
    EXPECT_EQ(ColourFromName("%?-%C.tif", "1-C.tif", zone, ""), "C");
}

TEST(ColourFromName, NoColourPlaceholderOrName) {
    std::string zone = "old";
    EXPECT_EQ(ColourFromName("%?-%?.tif", "12345-C.tif", zone, "-_."), "");
    EXPECT_EQ(zone, "");
    EXPECT_EQ(ColourFromName("%?-%C.tif", "", zone, "-_."), "");
    EXPECT_EQ(ColourFromName("", "12345-C.tif", zone, "-_."), "");
}

TEST(ColourFromName, AwkwardNames) {
    std::string zone;
    // A name without separator is one field, which every later mask position sees again.
    EXPECT_EQ(ColourFromName("%?-%C.tif", "noseparator", zone, "-_."), "noseparator");
    EXPECT_EQ(ColourFromName("%?-%C.tif", "12345-C", zone, "-_."), "C");  // no extension
    EXPECT_EQ(ColourFromName("%?-%C.tif", "---", zone, "-_."), "");
    EXPECT_EQ(ColourFromName("%?-%C.tif", "-", zone, "-_."), "");
    const std::string longName = std::string(1000, 'x') + "-" + std::string(999, 'C');
    EXPECT_EQ(ColourFromName("%?-%C.tif", longName, zone, "-_."), std::string(999, 'C'));
    EXPECT_EQ(ColourFromName("job%3?%C", std::string(2000, 'j'), zone, "-_."), "j");
    // Bytes above 127 are ordinary name characters.
    EXPECT_EQ(ColourFromName("%?-%C.tif", "s\xE6t-bl\xC3\xA5.tif", zone, "-_."), "bl\xC3\xA5");
    EXPECT_EQ(ColourFromName("%2?%C", "\xFF\xFE\x80", zone, "-_."), "\x80");
}

TEST(SplitFields, KeepsEmptyFieldsAndTrims) {
    std::vector<std::string> fields;
    EXPECT_EQ(SplitFields("  M;98.5;101.2;3 ", ";", fields), 4);
    EXPECT_EQ(fields, (std::vector<std::string>{"M", "98.5", "101.2", "3"}));
    EXPECT_EQ(SplitFields(";;", ";", fields), 3);
    EXPECT_EQ(fields, (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(SplitFields("", ";", fields), 1);
    EXPECT_EQ(fields, (std::vector<std::string>{""}));
    EXPECT_EQ(SplitFields("a-b_c", "-_", fields), 3);
}

TEST(FlatSeparationFromName, TakesTheNumberAfterTheLastDash) {
    EXPECT_EQ(FlatSeparationFromName("C-1234567.tif"), 1234567);
    EXPECT_EQ(FlatSeparationFromName("1234567.tif"), 1234567);
    EXPECT_EQ(FlatSeparationFromName("0042-1183407.tif"), 1183407);
    EXPECT_EQ(FlatSeparationFromName("1234567-C.tif"), 0);
    EXPECT_EQ(FlatSeparationFromName("abc.tif"), 0);
    EXPECT_EQ(FlatSeparationFromName("a.b-77.x.tif"), 77);  // only the last extension goes
    EXPECT_EQ(FlatSeparationFromName("x-12345678901234.tif"), 12345678901234LL);  // 64-bit
    EXPECT_EQ(FlatSeparationFromName("x-99999999999999999999999.tif"), INT64_MAX);
    EXPECT_EQ(FlatSeparationFromName("x-77abc"), 77);
    EXPECT_EQ(FlatSeparationFromName(""), 0);
    EXPECT_EQ(FlatSeparationFromName("-"), 0);
}

TEST(ZoneInList, MatchesTrimmedFields) {
    EXPECT_TRUE(ZoneInList("3", "1,2,3"));
    EXPECT_TRUE(ZoneInList(" 3 ", "1, 3 ,5"));
    EXPECT_FALSE(ZoneInList("3", "13,31"));
    EXPECT_FALSE(ZoneInList("a", "A"));  // case-sensitive
    EXPECT_FALSE(ZoneInList("3", ""));
    EXPECT_FALSE(ZoneInList("", ""));
    EXPECT_FALSE(ZoneInList("", "1,,2"));
}

}  // namespace
}  // namespace plexivar
