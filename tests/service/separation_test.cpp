#include "service/separation.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <string>

#include "service/info_file.h"
#include "tests/support/temp_dir.h"

namespace plexivar {
namespace {

using testing::TempDir;

SpoolerSettings Spooler(int mode) {
    SpoolerSettings s;
    s.EnableScaling = 1;
    s.ColorDetection = mode;
    return s;
}

bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

void WriteDescribedTiff(const std::string& path, const char* description) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 8);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    if (description)
        TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description);
    unsigned char row = 0xAA;
    TIFFWriteScanline(tif, &row, 0, 0);
    TIFFClose(tif);
}

SeparationInfo Detect(const SpoolerSettings& s, const std::string& letter, const std::string& path,
                      bool dryRun = false) {
    DetectionOptions options;
    options.deleteInformationFile = !dryRun;
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return DetectSeparation(s, letter, name, path, InformationFilePath(path), options);
}

TEST(DetectSeparation, NothingWithoutScaling) {
    SpoolerSettings s = Spooler(ByFileName);
    s.EnableScaling = 0;
    const SeparationInfo info = Detect(s, "C", "/in/x-C.tif");
    EXPECT_EQ(info.colour, "K");
    EXPECT_EQ(info.zone, "");
    EXPECT_EQ(info.correctionX, 0.0);
}

TEST(DetectSeparation, SubFolderAndFileName) {
    EXPECT_EQ(Detect(Spooler(BySubFolder), "M", "/in/M/p.tif").colour, "M");
    EXPECT_EQ(Detect(Spooler(BySubFolder), "B", "/in/B/p.tif").colour, "K");
    EXPECT_EQ(Detect(Spooler(BySubFolder), "", "/in/p.tif").colour, "K");

    const SeparationInfo y = Detect(Spooler(ByFileName), "", "/in/0042-Y.tif");
    EXPECT_EQ(y.colour, "Y");
    EXPECT_EQ(y.zone, "");
    EXPECT_EQ(Detect(Spooler(ByFileName), "", "/in/page7-cyan.tif").colour, "CYAN");
    EXPECT_EQ(Detect(Spooler(ByFileName), "", "/in/page7-b.tif").colour, "K");
    EXPECT_EQ(Detect(Spooler(ByFileName), "", "/in/noseparator").colour, "NOSEPARATOR");
    EXPECT_EQ(Detect(Spooler(ByFileName), "", "/in/-").colour, "K");
    EXPECT_EQ(Detect(Spooler(ByFileName), "", "/in/C-1234567.tif").flatSeparation, 1234567);

    SpoolerSettings fixed = Spooler(ByFileName);
    fixed.InputName = "job%3?%C";
    EXPECT_EQ(Detect(fixed, "", "/in/job123M.tif").colour, "M");
    SpoolerSettings noColour = Spooler(ByFileName);
    noColour.InputName = "%?-%?.tif";
    EXPECT_EQ(Detect(noColour, "", "/in/0042-Y.tif").colour, "K");
    SpoolerSettings zoned = Spooler(ByFileName);
    zoned.InputName = "%?_%C_%Z";
    const SeparationInfo z = Detect(zoned, "", "/in/ab_m_007");
    EXPECT_EQ(z.colour, "M");
    EXPECT_EQ(z.zone, "007");
}

TEST(DetectSeparation, FileNameWithRegexRewrite) {
    SpoolerSettings s = Spooler(ByFileName);
    s.UseRegex = 1;
    s.MatchExpression = R"((.*)\((Cyan|Magenta|Yellow|Black)\)\.tif)";
    s.FormatExpression = "$1-$2.tif";
    EXPECT_EQ(Detect(s, "", "/in/tiger(Magenta).tif").colour, "MAGENTA");
    EXPECT_EQ(Detect(s, "", "/in/tiger(Black).tif").colour, "BLACK");

    // Very long names pass through the rewrite and the pattern without harm.
    const std::string longName = "/in/" + std::string(2000, '7') + "(Cyan).tif";
    EXPECT_EQ(Detect(s, "", longName).colour, "K");

    // A broken expression: the name is used as it is, and the reason is noted.
    s.MatchExpression = "(broken";
    std::string notes;
    DetectionOptions options;
    options.notes = &notes;
    EXPECT_EQ(
        DetectSeparation(s, "", "0042-Y.tif", "/in/0042-Y.tif", "/in/0042-Y.inf", options).colour,
        "Y");
    EXPECT_NE(notes.find("(broken"), std::string::npos) << notes;
}

TEST(DetectSeparation, ImageDescription) {
    TempDir dir;
    const std::string m = dir.File("m.tif");
    WriteDescribedTiff(m, "M;98.5;101.2;3");
    const SeparationInfo plain = Detect(Spooler(ByImageDescription), "", m);
    EXPECT_EQ(plain.colour, "M");
    EXPECT_EQ(plain.zone, "3");
    EXPECT_EQ(plain.correctionX, 0.0);
    const SeparationInfo corrected = Detect(Spooler(ByImageDescriptionWithCorrection), "", m);
    EXPECT_EQ(corrected.colour, "M");
    EXPECT_DOUBLE_EQ(corrected.correctionX, 98.5);
    EXPECT_DOUBLE_EQ(corrected.correctionY, 101.2);
    EXPECT_EQ(corrected.zone, "3");

    const std::string lower = dir.File("c.tif");
    WriteDescribedTiff(lower, "c;x;y;5");
    const SeparationInfo c = Detect(Spooler(ByImageDescriptionWithCorrection), "", lower);
    EXPECT_EQ(c.colour, "K");  // only exactly C, M, Y or K is accepted
    EXPECT_EQ(c.zone, "5");

    const std::string word = dir.File("w.tif");
    WriteDescribedTiff(word, "Cyan;100;100;1");
    EXPECT_EQ(Detect(Spooler(ByImageDescription), "", word).colour, "K");

    const std::string none = dir.File("none.tif");
    WriteDescribedTiff(none, nullptr);
    EXPECT_EQ(Detect(Spooler(ByImageDescription), "", none).colour, "K");
    EXPECT_EQ(Detect(Spooler(ByImageDescription), "", dir.Write("junk.tif", "junk")).colour, "K");
    EXPECT_EQ(Detect(Spooler(ByImageDescription), "", dir.File("absent.tif")).colour, "K");
}

TEST(DetectSeparation, InformationFileIsReadThenDeleted) {
    TempDir dir;
    const std::string image = dir.Write("0042-x.tif", "image");
    const std::string inf = dir.Write("0042-x.inf",
                                      "ColorName: Cyan\r\nXcorrection: 98.5\r\n"
                                      "Ycorrection: 99.5\r\nZone: 4\r\n");
    const SeparationInfo info = Detect(Spooler(ByInformationFile), "", image);
    EXPECT_EQ(info.colour, "C");
    EXPECT_DOUBLE_EQ(info.correctionX, 98.5);
    EXPECT_DOUBLE_EQ(info.correctionY, 99.5);
    EXPECT_EQ(info.zone, "4");
    EXPECT_FALSE(Exists(inf));
    EXPECT_TRUE(Exists(image));

    dir.Write("0042-x.inf", "ColorName: Black\r\n");
    EXPECT_EQ(Detect(Spooler(ByInformationFile), "", image).colour, "K");
    dir.Write("0042-x.inf", "ColorName: cyan\r\n");
    EXPECT_EQ(Detect(Spooler(ByInformationFile), "", image).colour, "K");
}

TEST(DetectSeparation, InformationFileDryRunAndMissingFile) {
    TempDir dir;
    const std::string image = dir.Write("p.tif", "image");
    const std::string inf = dir.Write("p.inf", "ColorName: Magenta\n");
    EXPECT_EQ(Detect(Spooler(ByInformationFile), "", image, true).colour, "M");
    EXPECT_EQ(TempDir::Read(inf), "ColorName: Magenta\n");

    ASSERT_EQ(::unlink(inf.c_str()), 0);
    EXPECT_EQ(Detect(Spooler(ByInformationFile), "", image).colour, "K");
    EXPECT_FALSE(Exists(inf));  // reading never creates it
    EXPECT_TRUE(Exists(image));

    std::string junk(1 << 20, '\0');
    for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 31 + 7);
    dir.Write("p.inf", junk);
    EXPECT_EQ(Detect(Spooler(ByInformationFile), "", image).colour, "K");
}

TEST(DetectSeparation, InformationPathNamingTheImageIsNeverDeleted) {
    TempDir dir;
    const std::string image = dir.Write("plate", "ColorName: Y\n");
    const SeparationInfo info =
        DetectSeparation(Spooler(ByInformationFile), "", "plate", image, image, DetectionOptions{});
    EXPECT_EQ(info.colour, "K");
    EXPECT_TRUE(Exists(image));
}

TEST(DetectSeparation, UnknownModeDetectsNothing) {
    EXPECT_EQ(Detect(Spooler(7), "C", "/in/x-C.tif").colour, "K");
    EXPECT_EQ(Detect(Spooler(-1), "C", "/in/x-C.tif").colour, "K");
}

TEST(FinalColour, Rules) {
    EXPECT_EQ(FinalColour("b", ByFileName), "K");
    EXPECT_EQ(FinalColour("B", BySubFolder), "K");
    EXPECT_EQ(FinalColour("", ByFileName), "K");
    EXPECT_EQ(FinalColour("c", ByFileName), "C");
    EXPECT_EQ(FinalColour("c", ByInformationFile), "K");
    EXPECT_EQ(FinalColour("Black", ByFileName), "BLACK");
    EXPECT_EQ(FinalColour("Y", ByImageDescription), "Y");
}

TEST(FinalColour, ColourWordsKeepTheirEncoding) {
    // Windows-1252 and UTF-8 spellings of blå, rød, röd.
    EXPECT_EQ(FinalColour("bl\xE5", ByFileName), "BL\xC5");
    EXPECT_EQ(FinalColour("bl\xC3\xA5", ByFileName), "BL\xC3\x85");
    EXPECT_EQ(FinalColour("r\xF8"
                          "d",
                          ByFileName),
              "R\xD8"
              "D");
    EXPECT_EQ(FinalColour("r\xC3\xB8"
                          "d",
                          ByFileName),
              "R\xC3\x98"
              "D");
    EXPECT_EQ(FinalColour("r\xF6"
                          "d",
                          ByFileName),
              "R\xD6"
              "D");
    EXPECT_EQ(FinalColour("r\xC3\xB6"
                          "d",
                          ByFileName),
              "R\xC3\x96"
              "D");
    // Division signs and lone bytes are left alone.
    EXPECT_EQ(UpperCaseColour("\xF7\xC3\xB7\xC3"), "\xF7\xC3\xB7\xC3");
    EXPECT_EQ(UpperCaseColour("\xFF"), "\xFF");
}

}  // namespace
}  // namespace plexivar
