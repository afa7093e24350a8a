#include "engine/tiff/copy_image.h"

#include <gtest/gtest.h>

#include "engine/tiff/rewrite_strips.h"
#include "tests/engine/tiff/test_images.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

using plexivar::testing::TempDir;
using testing::Image;
using testing::Noise;
using testing::StringTagOf;
using testing::TagOf;
using testing::TiffPtr;

// Copies the first image of `from` into a new file `to`.
bool Copy(const std::string& from, const std::string& to, const CopyOptions& options,
          std::string* error = nullptr) {
    TiffPtr in(TIFFOpen(from.c_str(), "r"));
    TiffPtr out(TIFFOpen(to.c_str(), "w"));
    if (!in || !out)
        return false;
    CopyStrategy strategy = CopyStrategy::kNone;
    return CopyImage(in.get(), out.get(), 16, options, &strategy, error) &&
           TIFFWriteDirectory(out.get()) == 1;
}

TEST(CopyImage, DescriptiveTagsAreCarriedOver) {
    TempDir dir;
    const std::string path = dir.File("tags.tif");
    const Image image = Noise(40, 10, 1);
    ASSERT_TRUE(testing::WriteTiff(path, {image}));
    {
        // Add the descriptive tags to the image written above.
        TiffPtr tif(TIFFOpen(path.c_str(), "r+"));
        TIFF* t = tif.get();
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_BOTRIGHT);
        TIFFSetField(t, TIFFTAG_XPOSITION, 1.5);
        TIFFSetField(t, TIFFTAG_DOCUMENTNAME, "doc");
        TIFFSetField(t, TIFFTAG_DATETIME, "2000:01:01 00:00:00");
        TIFFSetField(t, TIFFTAG_HOSTCOMPUTER, "host");
        const float white[2] = {0.3127f, 0.329f};
        TIFFSetField(t, TIFFTAG_WHITEPOINT, white);
        TIFFSetField(t, TIFFTAG_HALFTONEHINTS, 1, 254);
        TIFFSetField(t, TIFFTAG_INKNAMES, 6, "Black");
        TIFFSetField(t, TIFFTAG_SMAXSAMPLEVALUE, 1.0);
        ASSERT_EQ(TIFFRewriteDirectory(t), 1);
    }
    ASSERT_TRUE(RewriteStrips(path, 4));

    EXPECT_EQ(testing::ReadTiff(path).at(0), image);
    EXPECT_EQ(TagOf<std::uint32_t>(path, TIFFTAG_SUBFILETYPE), FILETYPE_PAGE);
    EXPECT_EQ(TagOf<std::uint16_t>(path, TIFFTAG_ORIENTATION), ORIENTATION_BOTRIGHT);
    EXPECT_EQ(TagOf<float>(path, TIFFTAG_XPOSITION), 1.5f);
    EXPECT_EQ(TagOf<double>(path, TIFFTAG_SMAXSAMPLEVALUE), 1.0);
    EXPECT_EQ(StringTagOf(path, TIFFTAG_DOCUMENTNAME), "doc");
    EXPECT_EQ(StringTagOf(path, TIFFTAG_IMAGEDESCRIPTION), "page 0");
    EXPECT_EQ(StringTagOf(path, TIFFTAG_DATETIME), "2000:01:01 00:00:00");
    EXPECT_EQ(StringTagOf(path, TIFFTAG_HOSTCOMPUTER), "host");
    EXPECT_EQ(StringTagOf(path, TIFFTAG_INKNAMES), "Black");
    TiffPtr tif(TIFFOpen(path.c_str(), "r"));
    float* white = nullptr;
    ASSERT_EQ(TIFFGetField(tif.get(), TIFFTAG_WHITEPOINT, &white), 1);
    EXPECT_EQ(white[1], 0.329f);
    std::uint16_t low = 0;
    std::uint16_t high = 0;
    ASSERT_EQ(TIFFGetField(tif.get(), TIFFTAG_HALFTONEHINTS, &low, &high), 1);
    EXPECT_EQ(high, 254);
}

TEST(CopyImage, ImagesItCannotCopyAreRefusedOnStandardError) {
    TempDir dir;
    const std::string gray = dir.File("gray.tif");
    {
        TiffPtr tif(TIFFOpen(gray.c_str(), "w"));
        TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, 4);
        TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, 2);
        TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        std::uint8_t row[4] = {1, 2, 3, 4};
        TIFFWriteScanline(tif.get(), row, 0, 0);
        TIFFWriteScanline(tif.get(), row, 1, 0);
    }
    std::string error;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(Copy(gray, dir.File("out.tif"), CopyOptions(), &error));
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(printed.find("tiffcp: " + gray + ": Don't know how to copy/convert image.\n"),
              std::string::npos)
        << printed;
    EXPECT_NE(error.find("8 bits per sample"), std::string::npos) << error;

    // Three 1-bit samples cannot change their planar configuration.
    const std::string rgb = dir.File("rgb.tif");
    {
        TiffPtr tif(TIFFOpen(rgb.c_str(), "w"));
        TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, 8);
        TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, 1);
        TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tif.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        std::uint8_t row[3] = {};
        TIFFWriteScanline(tif.get(), row, 0, 0);
    }
    CopyOptions separate;
    separate.planarConfig = PLANARCONFIG_SEPARATE;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(Copy(rgb, dir.File("out.tif"), separate));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              rgb + ": Can not handle different planar configuration w/ bits/sample != 8\n");
}

}  // namespace
}  // namespace vestrel
