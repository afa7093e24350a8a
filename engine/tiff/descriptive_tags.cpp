#include "engine/tiff/descriptive_tags.h"

#include <cstdint>
#include <cstring>

namespace vestrel {

namespace {

// How the TIFF library hands a tag's value over.
enum class Shape {
    kShort,        // one uint16
    kLong,         // one uint32
    kFloat,        // one float (set as double)
    kDouble,       // one double
    kString,       // char*
    kShortPair,    // two uint16
    kFloatArray,   // float*, length fixed by the tag
    kInkNames,     // NUL-separated names, one per ink
    kExtraSamples  // count + uint16 array
};

struct DescriptiveTag {
    ttag_t tag;
    Shape shape;
};

// In the order they are copied.
constexpr DescriptiveTag kDescriptiveTags[] = {
    {TIFFTAG_SUBFILETYPE, Shape::kLong},
    {TIFFTAG_THRESHHOLDING, Shape::kShort},
    {TIFFTAG_DOCUMENTNAME, Shape::kString},
    {TIFFTAG_IMAGEDESCRIPTION, Shape::kString},
    {TIFFTAG_MAKE, Shape::kString},
    {TIFFTAG_MODEL, Shape::kString},
    {TIFFTAG_ORIENTATION, Shape::kShort},
    {TIFFTAG_MINSAMPLEVALUE, Shape::kShort},
    {TIFFTAG_MAXSAMPLEVALUE, Shape::kShort},
    {TIFFTAG_XRESOLUTION, Shape::kFloat},
    {TIFFTAG_YRESOLUTION, Shape::kFloat},
    {TIFFTAG_PAGENAME, Shape::kString},
    {TIFFTAG_XPOSITION, Shape::kFloat},
    {TIFFTAG_YPOSITION, Shape::kFloat},
    {TIFFTAG_RESOLUTIONUNIT, Shape::kShort},
    {TIFFTAG_PAGENUMBER, Shape::kShortPair},
    {TIFFTAG_SOFTWARE, Shape::kString},
    {TIFFTAG_DATETIME, Shape::kString},
    {TIFFTAG_ARTIST, Shape::kString},
    {TIFFTAG_HOSTCOMPUTER, Shape::kString},
    {TIFFTAG_WHITEPOINT, Shape::kFloatArray},
    {TIFFTAG_PRIMARYCHROMATICITIES, Shape::kFloatArray},
    {TIFFTAG_HALFTONEHINTS, Shape::kShortPair},
    {TIFFTAG_INKSET, Shape::kShort},
    {TIFFTAG_INKNAMES, Shape::kInkNames},
    {TIFFTAG_DOTRANGE, Shape::kShortPair},
    {TIFFTAG_TARGETPRINTER, Shape::kString},
    {TIFFTAG_SAMPLEFORMAT, Shape::kShort},
    {TIFFTAG_YCBCRCOEFFICIENTS, Shape::kFloatArray},
    {TIFFTAG_YCBCRSUBSAMPLING, Shape::kShortPair},
    {TIFFTAG_YCBCRPOSITIONING, Shape::kShort},
    {TIFFTAG_REFERENCEBLACKWHITE, Shape::kFloatArray},
    {TIFFTAG_EXTRASAMPLES, Shape::kExtraSamples},
    {TIFFTAG_SMINSAMPLEVALUE, Shape::kDouble},
    {TIFFTAG_SMAXSAMPLEVALUE, Shape::kDouble},
};
static_assert(sizeof kDescriptiveTags / sizeof kDescriptiveTags[0] == 35);

// Length in bytes of the ink-name block (every name with its terminating NUL). The library
// only accepts a block whose names are all terminated, one per ink.
std::uint32_t InkNamesLength(TIFF* in, const char* names) {
    std::uint16_t inks = 0;
    if (TIFFGetField(in, TIFFTAG_NUMBEROFINKS, &inks) != 1)
        TIFFGetFieldDefaulted(in, TIFFTAG_SAMPLESPERPIXEL, &inks);
    std::uint32_t length = 0;
    for (std::uint16_t i = 0; i < inks; ++i)
        length += static_cast<std::uint32_t>(std::strlen(names + length)) + 1;
    return length;
}

// Copies one tag when the input has it. A value the output refuses is left out: these tags
// describe the image and never change its pixels.
void CopyTag(TIFF* in, TIFF* out, const DescriptiveTag& entry) {
    const ttag_t tag = entry.tag;
    switch (entry.shape) {
        case Shape::kShort: {
            std::uint16_t value = 0;
            if (TIFFGetField(in, tag, &value) == 1)
                TIFFSetField(out, tag, value);
            break;
        }
        case Shape::kLong: {
            std::uint32_t value = 0;
            if (TIFFGetField(in, tag, &value) == 1)
                TIFFSetField(out, tag, value);
            break;
        }
        case Shape::kFloat: {
            float value = 0;
            if (TIFFGetField(in, tag, &value) == 1)
                TIFFSetField(out, tag, static_cast<double>(value));
            break;
        }
        case Shape::kDouble: {
            double value = 0;
            if (TIFFGetField(in, tag, &value) == 1)
                TIFFSetField(out, tag, value);
            break;
        }
        case Shape::kString: {
            const char* value = nullptr;
            if (TIFFGetField(in, tag, &value) == 1 && value != nullptr)
                TIFFSetField(out, tag, value);
            break;
        }
        case Shape::kShortPair: {
            std::uint16_t first = 0;
            std::uint16_t second = 0;
            if (TIFFGetField(in, tag, &first, &second) == 1)
                TIFFSetField(out, tag, first, second);
            break;
        }
        case Shape::kFloatArray: {
            const float* values = nullptr;
            if (TIFFGetField(in, tag, &values) == 1 && values != nullptr)
                TIFFSetField(out, tag, values);
            break;
        }
        case Shape::kInkNames: {
            const char* names = nullptr;
            if (TIFFGetField(in, tag, &names) == 1 && names != nullptr) {
                const std::uint32_t length = InkNamesLength(in, names);
                if (length > 0 && length <= 0xFFFF)
                    TIFFSetField(out, tag, static_cast<int>(length), names);
            }
            break;
        }
        case Shape::kExtraSamples: {
            std::uint16_t count = 0;
            const std::uint16_t* values = nullptr;
            if (TIFFGetField(in, tag, &count, &values) == 1 && values != nullptr)
                TIFFSetField(out, tag, count, values);
            break;
        }
    }
}

}  // namespace

void CopyDescriptiveTags(TIFF* in, TIFF* out) {
    for (const DescriptiveTag& entry : kDescriptiveTags) CopyTag(in, out, entry);
}

}  // namespace vestrel
