#include "engine/pipeline/output_geometry.h"

#include <gtest/gtest.h>

namespace vestrel {
namespace {

GeometryRequest Request(std::uint32_t w, std::uint32_t h, float fileDpi, double targetDpi,
                        double scale, bool keepResolution = false) {
    GeometryRequest r;
    r.inW = w;
    r.inH = h;
    r.hasFileResolution = true;
    r.fileResX = r.fileResY = fileDpi;
    r.resolutionX = r.resolutionY = targetDpi;
    r.scaleX = r.scaleY = scale;
    r.keepResolution = keepResolution;
    return r;
}

OutputGeometry Compute(const GeometryRequest& r) {
    OutputGeometry g;
    std::string error;
    EXPECT_TRUE(ComputeOutputGeometry(r, g, &error)) << error;
    return g;
}

TEST(OutputGeometry, SinglePrecisionFactorGives9949Not9950) {
    const auto g = Compute(Request(10000, 10000, 1270, 0, 99.5, true));
    EXPECT_FLOAT_EQ(g.factorX, 100.0f / 99.5f);
    EXPECT_EQ(g.outW, 9949u);
    EXPECT_TRUE(g.keepResolution);
    EXPECT_DOUBLE_EQ(g.outputResX, 1270.0);
}

TEST(OutputGeometry, ResolutionChanges) {
    auto g = Compute(Request(10000, 8000, 2400, 1200, 100));
    EXPECT_FLOAT_EQ(g.factorX, 2.0f);
    EXPECT_EQ(g.outW, 5000u);
    EXPECT_EQ(g.outH, 4000u);
    EXPECT_FALSE(g.keepResolution);
    EXPECT_DOUBLE_EQ(g.outputResX, 1200.0);

    g = Compute(Request(10000, 8000, 2400, 2540, 100));
    EXPECT_NEAR(g.factorX, 0.94488192f, 1e-7);
    EXPECT_EQ(g.outW, 10583u);

    // 2400 -> 1270 dpi, the everyday newspaper case: the single-precision factor lies a
    // hair above 2400/1270, so 12000 pixels give 6349, not 6350.
    g = Compute(Request(12000, 20400, 2400, 1270, 100));
    EXPECT_EQ(g.outW, 6349u);
}

TEST(OutputGeometry, SameResolutionKeepsTheSizeAndTheFileValues) {
    const auto g = Compute(Request(3000, 2000, 2400, 2400, 100));
    EXPECT_TRUE(g.keepResolution);
    EXPECT_EQ(g.outW, 3000u);
    EXPECT_EQ(g.outH, 2000u);
    EXPECT_DOUBLE_EQ(g.outputResX, 2400.0);
}

TEST(OutputGeometry, KeepResolutionAtHalfScale) {
    const auto g = Compute(Request(1001, 600, 1270, 2400, 50, true));
    EXPECT_FLOAT_EQ(g.factorX, 2.0f);
    EXPECT_EQ(g.outW, 500u);
    EXPECT_DOUBLE_EQ(g.outputResX, 1270.0);
}

TEST(OutputGeometry, PerCentimetreResolution) {
    EXPECT_FLOAT_EQ(ResolutionToDpi(1000.0f, 3), 2540.0f);
    EXPECT_FLOAT_EQ(ResolutionToDpi(1000.0f, 2), 1000.0f);
    EXPECT_FLOAT_EQ(ResolutionToDpi(1000.0f, 1), 1000.0f);
}

TEST(OutputGeometry, MissingResolutionTagsTakeTheTarget) {
    GeometryRequest r = Request(1000, 1000, 0, 1270, 99);
    r.hasFileResolution = false;
    const auto g = Compute(r);
    EXPECT_TRUE(g.keepResolution);
    EXPECT_EQ(g.outW, 1000u * 99 / 100);
    EXPECT_DOUBLE_EQ(g.outputResX, 1270.0);
}

TEST(OutputGeometry, RefusesWhatCannotBeProcessed) {
    OutputGeometry g;
    std::string error;
    EXPECT_FALSE(ComputeOutputGeometry(Request(7, 100, 1270, 1270, 100), g, &error));
    EXPECT_NE(error.find("7x100"), std::string::npos);
    EXPECT_FALSE(ComputeOutputGeometry(Request(100, 0, 1270, 1270, 100), g, &error));
    EXPECT_FALSE(ComputeOutputGeometry(Request(100, 100, 1270, 1270, 0), g, &error));
    EXPECT_FALSE(ComputeOutputGeometry(Request(100, 100, 1270, 1270, -5), g, &error));
    EXPECT_FALSE(ComputeOutputGeometry(Request(100, 100, 1270, 0, 100), g, &error));
    EXPECT_FALSE(ComputeOutputGeometry(Request(100, 100, 1270, -1270, 100), g, &error));
    GeometryRequest none = Request(100, 100, 0, 0, 100);
    none.hasFileResolution = false;
    EXPECT_FALSE(ComputeOutputGeometry(none, g, &error));
    // A reduction to nothing.
    EXPECT_FALSE(ComputeOutputGeometry(Request(8, 8, 1270, 1270, 1, true), g, &error));
}

TEST(OutputGeometry, MarginsInRowsAndWholeBytes) {
    // 10 mm at 1270 dpi is 500 pixels in exact arithmetic but 499.99999 through the factor
    // 1/25.4: 499 rows, and 63 bytes (499 pixels rounded up to whole bytes).
    const auto m = MarginsInPixels(10, 0, 10, 1, 1270, 1270);
    EXPECT_EQ(m.topRows, 499u);
    EXPECT_EQ(m.bottomRows, 0u);
    EXPECT_EQ(m.leftBytes, 63u);
    EXPECT_EQ(m.rightBytes, 7u);  // 49 pixels -> 7 bytes
    const auto none = MarginsInPixels(-3, 0, 0, 0, 1270, 1270);
    EXPECT_EQ(none.topRows, 0u);
    // Rows follow the vertical resolution, bytes the horizontal one: at 600 x 2400 dpi,
    // 10 mm is 944 rows or 236 pixels (30 bytes), 5 mm 472 rows, 3 mm 70 pixels (9 bytes).
    const auto uneven = MarginsInPixels(10, 5, 10, 3, 600, 2400);
    EXPECT_EQ(uneven.topRows, 944u);
    EXPECT_EQ(uneven.bottomRows, 472u);
    EXPECT_EQ(uneven.leftBytes, 30u);
    EXPECT_EQ(uneven.rightBytes, 9u);
}

TEST(OutputGeometry, PlacementByReference) {
    EXPECT_EQ(PlacementOffset(1000, 990, 0), 0);
    EXPECT_EQ(PlacementOffset(1000, 990, 1), 5);
    EXPECT_EQ(PlacementOffset(1000, 991, 1), 4);
    EXPECT_EQ(PlacementOffset(1000, 990, 2), 10);
    EXPECT_EQ(PlacementOffset(1000, 990, 7), 0);
    EXPECT_EQ(PlacementOffset(1000, 1011, 1), -5);  // truncated toward zero
    EXPECT_EQ(PlacementOffset(1000, 1010, 2), -10);
    EXPECT_EQ(PlacementOffset(1000, 1000, 2), 0);
}

}  // namespace
}  // namespace vestrel
