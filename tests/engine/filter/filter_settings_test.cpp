#include "engine/filter/filter_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

bool IsIdentity(const ToneCurve& c) {
    return c.count == 2 && c.XVal[0] == 0.0f && c.XVal[1] == 100.0f && c.YVal[0] == 0.0f &&
           c.YVal[1] == 100.0f && c.XMax == 100.0f && c.YMax == 100.0f;
}

class FilterSettingsTest : public ::testing::Test {
  protected:
    FilterSettings Read(const std::string& ini) {
        FilterSettings s;
        s.IniPath = dir_.File("plexivar.ini");
        if (!ini.empty())
            dir_.Write("plexivar.ini", ini);
        ReadFilterSettings(s);
        return s;
    }
    plexivar::testing::TempDir dir_;
};

TEST_F(FilterSettingsTest, NoIniFileLeavesTheDefaults) {
    FilterSettings s = Read("");
    EXPECT_EQ(std::strcmp(s.typeTag, "DGF"), 0);
    EXPECT_EQ(s.marker, 0);
    EXPECT_EQ(s.AverageFilterSize, 1);
    EXPECT_EQ(s.Threshold, 25);
    EXPECT_EQ(s.Automatic, 1);
    EXPECT_EQ(s.DiffusionType, 2);
    EXPECT_EQ(s.DiffusionToggle, 1);
    EXPECT_EQ(s.NoiseLevel, 0);
    EXPECT_EQ(s.XfrmFiltSize, 32);
    EXPECT_EQ(s.XFrmDivScale, 4);
    EXPECT_FLOAT_EQ(s.XfrmFiltSizeScale, 2.175f);
    EXPECT_EQ(s.UseMaster, 1);
    EXPECT_EQ(s.EstimateSize, 256);
    EXPECT_EQ(s.EstimateVerbose, 1);
    EXPECT_EQ(s.ProgressTabLimit, 100000);
    EXPECT_EQ(s.FilterAutoOnly, 1);
    EXPECT_EQ(s.UsePathInfo, 0);
    EXPECT_EQ(s.CurveCount, 0);
    for (const ToneCurve& c : s.Curves) {
        EXPECT_TRUE(IsIdentity(c));
        EXPECT_EQ(c.name, "");
    }
    PublishFilterSettings(s);
    EXPECT_EQ(s.marker, kSettingsMarker);
    EXPECT_EQ(s.ScreenKnown, 1);
    EXPECT_EQ(CurrentFilterSettings(), &s);
    ClearCurrentFilterSettings();
    EXPECT_EQ(CurrentFilterSettings(), nullptr);
}

TEST_F(FilterSettingsTest, ReadsKeysAndAppliesTheAutoValues) {
    FilterSettings s = Read(
        "[Preferences]\nAverageFilterSize=3\nThreshold=x\nNoiseLevel=5\nDiffusionType=0\n"
        "XfrmFiltSizeScale=1.5\nUsePathInfo=1\nKeepResolution=1\nFile=p.dgf\n"
        "[Auto]\nNoiseLevel=7\nDiffusionType=1\n"
        "[Filter]\nVerbose=1\n[Cache]\nActive=1\n[Estimate]\nSize=64\n");
    EXPECT_EQ(s.AverageFilterSize, 3);
    EXPECT_EQ(s.Threshold, 0);  // unparsable: 0
    EXPECT_FLOAT_EQ(s.XfrmFiltSizeScale, 1.5f);
    EXPECT_EQ(s.UsePathInfo, 1);  // read, then forced to 0 when published
    EXPECT_EQ(s.KeepResolution, 1);
    EXPECT_EQ(s.File, "p.dgf");
    EXPECT_EQ(s.Verbose, 1);
    EXPECT_EQ(s.CacheActive, 1);
    EXPECT_EQ(s.EstimateSize, 64);
    // Automatic: the "Auto" values replace the preferences; DiffusionToggle keeps its default.
    EXPECT_EQ(s.NoiseLevel, 7);
    EXPECT_EQ(s.DiffusionType, 1);
    EXPECT_EQ(s.DiffusionToggle, 1);
    PublishFilterSettings(s);
    EXPECT_EQ(s.UsePathInfo, 0);
    ClearCurrentFilterSettings();
}

TEST_F(FilterSettingsTest, DiffusionToggleDefaultFollowsTheTypeJustRead) {
    FilterSettings s = Read("[Preferences]\nAutomatic=0\nDiffusionType=0\n");
    EXPECT_EQ(s.DiffusionType, 0);
    EXPECT_EQ(s.DiffusionToggle, 0);
    s = Read("[Preferences]\nAutomatic=0\nDiffusionType=1\nDiffusionToggle=0\nNoiseLevel=3\n");
    EXPECT_EQ(s.DiffusionToggle, 0);
    EXPECT_EQ(s.NoiseLevel, 3);
}

TEST_F(FilterSettingsTest, MasterCurveFillsEverySlotKeepingNames) {
    FilterSettings s;
    s.IniPath = dir_.File("plexivar.ini");
    s.Curves[1].name = "Cyan";
    dir_.Write("plexivar.ini", "[All]\nXVal=3 0 50 100\nYVal=3 0 60 100\n");
    ReadFilterSettings(s);
    for (const ToneCurve& c : s.Curves) {
        EXPECT_EQ(c.count, 3);
        EXPECT_FLOAT_EQ(c.YVal[1], 60.0f);
    }
    EXPECT_EQ(s.Curves[1].name, "Cyan");
}

TEST_F(FilterSettingsTest, BrokenCurveSectionsLeaveIdentityCurves) {
    for (const char* ini : {
             "[All]\nXVal=3 0 50 100\nYVal=2 0 100\n",  // counts differ
             "[All]\nXVal=13 1 2 3 4 5 6 7 8 9 10 11 12 13\nYVal=13 1 2 3 4 5 6 7 8 9 10 11 12 "
             "13\n",
             "[All]\nXVal=3 0 50 100\n",           // YVal missing
             "[All]\nXVal=\nYVal=\n",              // empty
             "[All]\nXVal=three\nYVal=3 0 1 2\n",  // count not a number
             "[All]\nXVal=5 0 1\nYVal=5 0 1\n",    // fewer reals than the count
         }) {
        FilterSettings s = Read(ini);
        for (const ToneCurve& c : s.Curves) EXPECT_TRUE(IsIdentity(c)) << ini;
    }
}

TEST_F(FilterSettingsTest, SeparationSectionsAfterRegistration) {
    FilterSettings s;
    s.IniPath = dir_.File("plexivar.ini");
    dir_.Write("plexivar.ini",
               "[Preferences]\nUseMaster=0\n[Default]\nXVal=2 0 100\nYVal=2 0 90\n"
               "[Process]\nXVal=2 0 100\nYVal=2 0 80\n[Spot]\nXVal=2 0 100\nYVal=2 10 100\n");
    ReadFilterSettings(s);
    ASSERT_EQ(s.UseMaster, 0);
    ASSERT_EQ(RegisterSeparationCurve(s, "Black", nullptr), 1);
    ASSERT_EQ(RegisterSeparationCurve(s, "Spot", nullptr), 1);
    ASSERT_EQ(RegisterSeparationCurve(s, "Other", nullptr), 1);
    ReadCurveSections(s);
    EXPECT_FLOAT_EQ(s.Curves[0].YVal[1], 80.0f);  // process colour: "Process" over "Default"
    EXPECT_FLOAT_EQ(s.Curves[1].YVal[0], 10.0f);  // own section wins
    EXPECT_FLOAT_EQ(s.Curves[2].YVal[1], 90.0f);  // only "Default" applies
}

FilterSettings Geometry(float scale, int targetWidth, int sourceWidth) {
    FilterSettings s;
    s.ScaleX = s.ScaleY = scale;
    s.TargetWidth = targetWidth;
    s.SourceWidth = sourceWidth;
    return s;
}

TEST(SelectAutomaticParametersTest, SizesAndThresholdsFollowTheRatio) {
    struct Case {
        float scale;
        int target;
        int source;
        int size;
        int threshold;
    };
    for (const Case& c : {
             Case{2.0f, 500, 1000, 2, 14},    // r 0.5: whole reciprocal, but size is not 1
             Case{1.02f, 980, 1000, 2, 34},   // r 0.98: e = -0.02 corrects 1/24 to 2/34
             Case{0.5f, 2000, 1000, 2, 48},   // r 2: threshold 38, whole ratio adds 10
             Case{0.25f, 4000, 1000, 2, 50},  // r 4: 50, capped at 50 after the correction
             Case{5.0f, 200, 1000, 5, 0},     // r 0.2
             Case{1.0f, 1000, 1000, 1, 25},   // r 1: no correction
             Case{0.8f, 1300, 1000, 1, 29},   // r 1.3: not near a whole ratio
         }) {
        FilterSettings s = Geometry(c.scale, c.target, c.source);
        s.AutoNoiseLevel = 4;
        s.AutoDiffusionType = 1;
        s.AutoDiffusionToggle = 0;
        SelectAutomaticParameters(s);
        EXPECT_EQ(s.AverageFilterSize, c.size) << "r " << c.target << "/" << c.source;
        EXPECT_EQ(s.Threshold, c.threshold) << "r " << c.target << "/" << c.source;
        EXPECT_EQ(s.NoiseLevel, 4);
        EXPECT_EQ(s.DiffusionType, 1);
        EXPECT_EQ(s.DiffusionToggle, 0);
    }
}

TEST(SelectAutomaticParametersTest, ManualModeAndDegenerateGeometry) {
    FilterSettings manual = Geometry(3.0f, 100, 1000);
    manual.Automatic = 0;
    SelectAutomaticParameters(manual);
    EXPECT_EQ(manual.AverageFilterSize, 1);
    EXPECT_EQ(manual.Threshold, 25);

    FilterSettings zero = Geometry(1e30f, 0, 0);
    SelectAutomaticParameters(zero);
    EXPECT_GE(zero.AverageFilterSize, 1);
    FilterSettings nan = Geometry(std::numeric_limits<float>::quiet_NaN(), 0, 1000);
    SelectAutomaticParameters(nan);
    EXPECT_EQ(nan.AverageFilterSize, 1);
    EXPECT_EQ(nan.Threshold, 0);
}

TEST(SeparationCurveTest, RegistrationFillsThreeSlotsThenRefuses) {
    FilterSettings s;
    s.UseMaster = 0;
    ToneCurve process = IdentityCurve();
    process.YVal[1] = 70.0f;
    ASSERT_EQ(RegisterSeparationCurve(s, "Process", &process), 1);
    ASSERT_EQ(RegisterSeparationCurve(s, "Cyan", nullptr), 1);  // copies "Process"
    EXPECT_FLOAT_EQ(s.Curves[1].YVal[1], 70.0f);
    EXPECT_EQ(s.Curves[1].name, "Cyan");
    ASSERT_EQ(RegisterSeparationCurve(s, "Spot", nullptr), 1);  // no "Default": identity
    EXPECT_FLOAT_EQ(s.Curves[2].YVal[1], 100.0f);
    EXPECT_EQ(RegisterSeparationCurve(s, "Black", nullptr), 0);
    EXPECT_EQ(s.CurveCount, 3);

    ToneCurve replacement = IdentityCurve("ignored");
    replacement.YVal[1] = 50.0f;
    EXPECT_EQ(RegisterSeparationCurve(s, "Spot", &replacement), 1);
    EXPECT_FLOAT_EQ(s.Curves[2].YVal[1], 50.0f);
    EXPECT_EQ(s.Curves[2].name, "Spot");
}

TEST(SeparationCurveTest, MasterSlotServesNewSeparations) {
    FilterSettings s;  // UseMaster 1
    s.Curves[0].YVal[1] = 55.0f;
    ASSERT_EQ(RegisterSeparationCurve(s, "Black", nullptr), 1);
    EXPECT_FLOAT_EQ(FindSeparationCurve(s, "Black").YVal[1], 55.0f);
}

TEST(SeparationCurveTest, LookupFallsBackToProcessDefaultAndIdentity) {
    FilterSettings s;
    s.UseMaster = 0;
    ToneCurve c = IdentityCurve();
    c.YVal[1] = 60.0f;
    RegisterSeparationCurve(s, "PROCESS", &c);
    c.YVal[1] = 40.0f;
    RegisterSeparationCurve(s, "default", &c);
    EXPECT_FLOAT_EQ(FindSeparationCurve(s, "Magenta").YVal[1], 60.0f);
    EXPECT_FLOAT_EQ(FindSeparationCurve(s, "magenta").YVal[1], 40.0f);  // not a process colour
    FilterSettings empty;
    const ToneCurve none = FindSeparationCurve(empty, "Spot");
    EXPECT_EQ(none.name, "Spot");
    EXPECT_TRUE(IsIdentity(none));
    EXPECT_EQ(IsProcessColour("Yellow"), 3);
    EXPECT_EQ(IsProcessColour("black"), 0);
}

}  // namespace
}  // namespace vestrel
