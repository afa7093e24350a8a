#include "engine/tiff/tag_copy.h"

#include "engine/tiff/descriptive_tags.h"

namespace vestrel {

namespace {

bool IsFax(std::uint16_t compression) {
    return compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4;
}

bool TakesPredictor(std::uint16_t compression) {
    return compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE ||
           compression == COMPRESSION_DEFLATE;
}

template <typename T>
void CopyIfPresent(TIFF* in, TIFF* out, ttag_t tag) {
    T value{};
    if (TIFFGetField(in, tag, &value) == 1)
        TIFFSetField(out, tag, value);
}

// The tags that belong to the compression being written. The input is asked only for tags
// of its own codec family: the library knows a codec's tags only while that codec is set.
void CopyCompressionTags(TIFF* in, TIFF* out, std::uint16_t inCompression,
                         std::uint16_t outCompression, const CopyOptions& options) {
    if (IsFax(outCompression)) {
        const bool inFax = IsFax(inCompression);
        if (outCompression == COMPRESSION_CCITTFAX3) {
            if (options.group3Options)
                TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, *options.group3Options);
            else if (inCompression == COMPRESSION_CCITTFAX3)
                CopyIfPresent<std::uint32_t>(in, out, TIFFTAG_GROUP3OPTIONS);
        } else if (inCompression == COMPRESSION_CCITTFAX4) {
            CopyIfPresent<std::uint32_t>(in, out, TIFFTAG_GROUP4OPTIONS);
        }
        if (inFax) {
            CopyIfPresent<std::uint32_t>(in, out, TIFFTAG_BADFAXLINES);
            CopyIfPresent<std::uint16_t>(in, out, TIFFTAG_CLEANFAXDATA);
            CopyIfPresent<std::uint32_t>(in, out, TIFFTAG_CONSECUTIVEBADFAXLINES);
            CopyIfPresent<std::uint32_t>(in, out, TIFFTAG_FAXRECVPARAMS);
            CopyIfPresent<std::uint32_t>(in, out, TIFFTAG_FAXRECVTIME);
            const char* subAddress = nullptr;
            if (TIFFGetField(in, TIFFTAG_FAXSUBADDRESS, &subAddress) == 1 && subAddress != nullptr)
                TIFFSetField(out, TIFFTAG_FAXSUBADDRESS, subAddress);
        }
    } else if (TakesPredictor(outCompression)) {
        if (options.predictor)
            TIFFSetField(out, TIFFTAG_PREDICTOR, *options.predictor);
        else if (TakesPredictor(inCompression))
            CopyIfPresent<std::uint16_t>(in, out, TIFFTAG_PREDICTOR);
    }
    // JPEG and JBIG would take their pseudo-tags from the copy settings; those settings
    // are never given (a 1-bit image is not written as JPEG), so nothing is set for them.
}

void SetError(std::string* error, const std::string& text) {
    if (error != nullptr)
        *error = text;
}

}  // namespace

bool CopyImageTags(TIFF* in, TIFF* out, int rowsPerStrip, StripHeightRule rule,
                   const CopyOptions& options, std::uint32_t* rowsPerStripWritten,
                   std::string* error) {
    std::uint32_t width = 0;
    std::uint32_t length = 0;
    if (TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &width) == 1)
        TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
    if (TIFFGetField(in, TIFFTAG_IMAGELENGTH, &length) == 1)
        TIFFSetField(out, TIFFTAG_IMAGELENGTH, length);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);

    std::uint16_t inCompression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(in, TIFFTAG_COMPRESSION, &inCompression);
    const std::uint16_t outCompression = options.compression.value_or(inCompression);
    if (TIFFSetField(out, TIFFTAG_COMPRESSION, outCompression) != 1) {
        SetError(error, "cannot write compression " + std::to_string(outCompression));
        return false;
    }
    CopyIfPresent<std::uint16_t>(in, out, TIFFTAG_PHOTOMETRIC);
    CopyIfPresent<std::uint16_t>(in, out, TIFFTAG_FILLORDER);

    std::uint32_t rows = 0;
    if (rowsPerStrip >= 1) {
        rows = static_cast<std::uint32_t>(rowsPerStrip);
    } else if (rule == StripHeightRule::kInputBelowOne && !TIFFIsTiled(in)) {
        TIFFGetFieldDefaulted(in, TIFFTAG_ROWSPERSTRIP, &rows);
    } else {
        // The library turns a request below 1 into its default strip height.
        rows = TIFFDefaultStripSize(out, static_cast<std::uint32_t>(rowsPerStrip));
    }
    if (rows == 0 || TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, rows) != 1) {
        SetError(error, "cannot write " + std::to_string(rows) + " rows per strip");
        return false;
    }
    if (rowsPerStripWritten != nullptr)
        *rowsPerStripWritten = rows;

    if (options.planarConfig)
        TIFFSetField(out, TIFFTAG_PLANARCONFIG, *options.planarConfig);
    else
        CopyIfPresent<std::uint16_t>(in, out, TIFFTAG_PLANARCONFIG);

    std::uint16_t* curves[3] = {nullptr, nullptr, nullptr};
    if (TIFFGetField(in, TIFFTAG_TRANSFERFUNCTION, &curves[0], &curves[1], &curves[2]) == 1)
        TIFFSetField(out, TIFFTAG_TRANSFERFUNCTION, curves[0], curves[1], curves[2]);
    std::uint16_t* map[3] = {nullptr, nullptr, nullptr};
    if (TIFFGetField(in, TIFFTAG_COLORMAP, &map[0], &map[1], &map[2]) == 1)
        TIFFSetField(out, TIFFTAG_COLORMAP, map[0], map[1], map[2]);

    CopyCompressionTags(in, out, inCompression, outCompression, options);
    CopyDescriptiveTags(in, out);
    return true;
}

}  // namespace vestrel
