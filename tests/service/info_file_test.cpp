#include "service/info_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace plexivar {
namespace {

using testing::TempDir;

TEST(InformationFilePath, ReplacesTheLastExtension) {
    EXPECT_EQ(InformationFilePath("/in/0042-C.tif"), "/in/0042-C.inf");
    EXPECT_EQ(InformationFilePath("/in/a.b.tif"), "/in/a.b.inf");
    EXPECT_EQ(InformationFilePath("name.tif"), "name.inf");
    // Without an extension the name gets one, so it never names the image itself; a dot
    // in a folder name is no extension.
    EXPECT_EQ(InformationFilePath("/in.d/plate"), "/in.d/plate.inf");
    EXPECT_EQ(InformationFilePath("/in/.tif"), "/in/.inf");
}

TEST(ParseInformationText, KeysAndValues) {
    const auto v = ParseInformationText(
        "Job: 17\r\nColorName: Cyan  \r\nXcorrection: 98.5\r\nYcorrection: 101.25\t\r\nZone:  3 "
        "\r\n");
    EXPECT_EQ(v.colour, "C");
    EXPECT_EQ(v.zone, "3");
    EXPECT_DOUBLE_EQ(v.correctionX, 98.5);
    EXPECT_DOUBLE_EQ(v.correctionY, 101.25);

    const auto black = ParseInformationText("ColorName: Black");  // no line end at all
    EXPECT_EQ(black.colour, "B");
    EXPECT_EQ(black.zone, "");
    EXPECT_EQ(black.correctionX, 0.0);

    // Keys are case-sensitive and need their blank; the first occurrence wins.
    EXPECT_EQ(ParseInformationText("colorname: Cyan\n").colour, "");
    EXPECT_EQ(ParseInformationText("ColorName:Cyan\n").colour, "");
    EXPECT_EQ(ParseInformationText("ColorName: M\nColorName: Y\n").colour, "M");
    EXPECT_EQ(ParseInformationText("ColorName: \n").colour, "");
    // Numbers that are no scale count as no correction.
    const auto bad = ParseInformationText("Xcorrection: nan\nYcorrection: inf\n");
    EXPECT_EQ(bad.correctionX, 0.0);
    EXPECT_EQ(bad.correctionY, 0.0);
    EXPECT_DOUBLE_EQ(ParseInformationText("Xcorrection: 99,5\n").correctionX, 99.0);
}

TEST(ReadInformationText, ReadsOnlyTheFirst4096Bytes) {
    TempDir dir;
    const std::string text = std::string(4084, ' ') + "\nZone: 1234567\nColorName: Y\n";
    const std::string path = dir.Write("big.inf", text);
    std::string read;
    ASSERT_TRUE(ReadInformationText(path, read));
    EXPECT_EQ(read.size(), kInformationReadLimit);
    const auto v = ParseInformationText(read);
    EXPECT_EQ(v.zone, "12345");  // cut inside the line
    EXPECT_EQ(v.colour, "");

    // A megabyte of text is no trouble either.
    const std::string mb = dir.Write("mb.inf", "ColorName: M\n" + std::string(1 << 20, 'x'));
    ASSERT_TRUE(ReadInformationText(mb, read));
    EXPECT_EQ(ParseInformationText(read).colour, "M");
}

TEST(ReadInformationText, BinaryJunkAndNonFiles) {
    TempDir dir;
    std::string junk;
    for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) & 0xFF);
    std::string read;
    ASSERT_TRUE(ReadInformationText(dir.Write("junk.inf", junk), read));
    EXPECT_LE(read.size(), kInformationReadLimit);
    ParseInformationText(read);  // must not crash

    // Text after a NUL byte is not text.
    ASSERT_TRUE(ReadInformationText(
        dir.Write("nul.inf", std::string("Zone: 1\0ColorName: C\n", 22)), read));
    EXPECT_EQ(ParseInformationText(read).colour, "");

    std::string error;
    EXPECT_FALSE(ReadInformationText(dir.File("absent.inf"), read, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(ReadInformationText(dir.path(), read, &error));  // a folder
    const std::string fifo = dir.File("fifo.inf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadInformationText(fifo, read, &error));  // refused, not waited on
}

TEST(StripCorrections, RemovesCorrectionLinesButKeepsALastLine) {
    EXPECT_EQ(StripCorrectionsFromText(
                  "ColorName: C\r\nXcorrection: 98\r\nYcorrection: 99\r\nZone: 3\r\n"),
              "ColorName: C\r\nZone: 3\r\n");
    EXPECT_EQ(StripCorrectionsFromText("Xcorrection: 98\nZone: 3\nYcorrection: 99\n"),
              "Zone: 3\nYcorrection: 99\n");
    EXPECT_EQ(StripCorrectionsFromText("Zone: 3\nYcorrection: 99"), "Zone: 3\nYcorrection: 99");
    EXPECT_EQ(StripCorrectionsFromText("Ycorrection: 99\rXcorrection: 98\rZone"), "Zone");
    EXPECT_EQ(StripCorrectionsFromText(""), "");
}

TEST(StripCorrections, RewritesTheFileInPlace) {
    TempDir dir;
    const std::string path = dir.Write("a.inf", "Xcorrection: 98\nYcorrection: 99\nZone: 3\n");
    ::chmod(path.c_str(), 0640);
    EXPECT_TRUE(StripCorrections(path));
    EXPECT_EQ(TempDir::Read(path), "Zone: 3\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // Text beyond the first 4096 bytes is kept.
    const std::string tail = std::string(6000, 'z');
    const std::string big = dir.Write("b.inf", "Xcorrection: 98\n" + tail);
    EXPECT_TRUE(StripCorrections(big));
    EXPECT_EQ(TempDir::Read(big), tail);

    // Nothing to strip: the file is left alone; a missing file just fails.
    const std::string plain = dir.Write("c.inf", "Zone: 3");
    EXPECT_TRUE(StripCorrections(plain));
    EXPECT_EQ(TempDir::Read(plain), "Zone: 3");
    EXPECT_FALSE(StripCorrections(dir.File("missing.inf")));
    EXPECT_FALSE(::access(dir.File("missing.inf").c_str(), F_OK) == 0);
}

TEST(StripCorrections, LeavesOversizedFilesUntouched) {
    TempDir dir;
    const std::string content = "Xcorrection: 98\n" + std::string(kInformationRewriteLimit, 'z');
    const std::string path = dir.Write("huge.inf", content);
    EXPECT_FALSE(StripCorrections(path));
    EXPECT_EQ(TempDir::Read(path).size(), content.size());
}

}  // namespace
}  // namespace plexivar
