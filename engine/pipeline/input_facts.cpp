#include "engine/pipeline/input_facts.h"

#include "engine/api/engine_setup.h"
#include "engine/api/export_call.h"
#include "engine/pipeline/output_geometry.h"
#include "engine/pipeline/plate_limits.h"
#include "platform/c_locale.h"

namespace vestrel {
using plexivar::platform::Format;

namespace {

// What a refused Photometric value means, after the specified message.
const char* PhotometricReason(unsigned value) {
    switch (value) {
        case PHOTOMETRIC_RGB: return " - an RGB colour image, not a black-and-white separation";
        case PHOTOMETRIC_PALETTE:
            return " - a palette (colour-mapped) image, not a black-and-white separation";
        case PHOTOMETRIC_MASK: return " - a transparency mask, not a separation";
        case PHOTOMETRIC_SEPARATED:
            return " - a separated (CMYK) image, not a black-and-white separation";
        default: return " - not a black-and-white (0 or 1) separation";
    }
}

}  // namespace

bool ReadInputFacts(TIFF* tif, InputFacts& in, std::string& error) {
    std::uint16_t bits = 1;
    std::uint16_t samples = 1;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PHOTOMETRIC, &in.photometric);
    if (bits != 1) {
        error = Format("Unsupported bits-per-sample setting %d", bits);
        return false;
    }
    if (samples != 1) {
        error = Format("Unsupported samples-per-pixel setting %d", samples);
        return false;
    }
    if (in.photometric != PHOTOMETRIC_MINISWHITE && in.photometric != PHOTOMETRIC_MINISBLACK) {
        error = Format("Unsupported photometric setting %d", in.photometric) +
                PhotometricReason(in.photometric);
        return false;
    }
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &in.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &in.height);
    if (in.width == 0 || in.height == 0) {
        error = Format("Unsupported image size %ux%u", in.width, in.height);
        return false;
    }
    // The size limits come before anything is sized by the width or the height.
    if (error = CheckImageSize("Image", in.width, in.height); !error.empty())
        return false;
    in.rowBytes = (static_cast<std::size_t>(in.width) + 7) / 8;
    // Rows are read straight into the image buffer: a scanline must be exactly one row.
    if (TIFFScanlineSize64(tif) != in.rowBytes) {
        error = Format("Unsupported TIFF layout (%llu bytes per row for %u pixels)",
                       static_cast<unsigned long long>(TIFFScanlineSize64(tif)), in.width);
        return false;
    }
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    float x = 0;
    float y = 0;
    in.hasResolution = TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) == 1 &&
                       TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) == 1 && x > 0 && y > 0;
    in.resX = ResolutionToDpi(x, unit);
    in.resY = ResolutionToDpi(y, unit);
    if (in.hasResolution) {
        error = CheckResolution(in.resX, "in the file");
        if (error.empty())
            error = CheckResolution(in.resY, "in the file");
        if (!error.empty())
            return false;
    }
    TIFFGetField(tif, TIFFTAG_PAGENUMBER, &in.page, &in.pages);
    TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &in.subfileType);
    return true;
}

UniqueTiff OpenRunInput(const char* inputPath, const std::string& workPath, char* outputPath,
                        InputFacts& in, std::string& error) {
    if (workPath.size() >= VESTREL_OUTPUT_PATH_SIZE) {
        error = Format("Working file name too long (%zu characters, at most %d): %s",
                       workPath.size(), VESTREL_OUTPUT_PATH_SIZE - 1, workPath.c_str());
        return nullptr;
    }
    CopyToBuffer(workPath, outputPath, VESTREL_OUTPUT_PATH_SIZE);
    UniqueTiff input(OpenTiff(inputPath, "rm"));
    if (!input) {
        error = Format("Error opening TIFF file %s", inputPath);
        return nullptr;
    }
    if (!ReadInputFacts(input.get(), in, error)) return nullptr;
    return input;
}

AreaDesc WholeImageArea(std::uint32_t width, std::uint32_t height, std::uint8_t*** rowTables) {
    AreaDesc area;
    area.imageWidth = width;
    area.imageHeight = height;
    area.separations = 1;
    area.present = 1;
    area.w = static_cast<std::int32_t>(width);
    area.h = static_cast<std::int32_t>(height);
    area.rowTables = rowTables;
    return area;
}

}  // namespace vestrel
