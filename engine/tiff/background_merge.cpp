#include "engine/tiff/background_merge.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

#include "engine/tiff/row_reader.h"
#include "engine/tiff/tiff_file.h"
#include "platform/file_ops.h"

namespace vestrel {

namespace {

// Rows per output strip; the merge holds one strip of output in memory.
constexpr std::uint32_t kStripRows = 256;
// Longest host name written as HostComputer.
constexpr std::size_t kMaxHostName = 199;

struct MergeInput {
    TiffFile file;
    RowReader reader;
    bool minIsBlack = false;
    double xResolution = 0;  // dpi
    double yResolution = 0;  // dpi
    bool hasResolution = false;
};

bool OpenInput(const std::string& path, MergeInput& input, std::string& error) {
    if (!input.file.Open(path, "rm")) {
        error = "Failed opening input file " + path;
        return false;
    }
    TIFF* tif = input.file.get();
    std::string reason;
    if (!input.reader.Init(tif, &reason)) {
        error = "Unsupported image in file " + path + ": " + reason;
        return false;
    }
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    if (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK) {
        error = "Unsupported image in file " + path + ": photometric interpretation " +
                std::to_string(photometric);
        return false;
    }
    input.minIsBlack = photometric == PHOTOMETRIC_MINISBLACK;

    float x = 0;
    float y = 0;
    input.hasResolution = TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) == 1 &&
                          TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) == 1;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    // Kept in single precision, as stored; per-centimetre values become dpi.
    if (unit == RESUNIT_CENTIMETER) {
        x = static_cast<float>(x * 2.54);
        y = static_cast<float>(y * 2.54);
    }
    input.xResolution = x;
    input.yResolution = y;
    return true;
}

std::string HostName() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0)
        return {};
    std::string host(name.data());
    if (host.size() > kMaxHostName)
        host.resize(kMaxHostName);
    return host;
}

bool WriteTags(TIFF* out, std::uint32_t rowBytes, std::uint32_t height, const MergeInput& first,
               const std::string& description, OutputCompression compression) {
    bool ok = TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE) == 1;
    // The widest row in whole bytes: a width that is not a multiple of 8 is rounded up.
    ok = ok && TIFFSetField(out, TIFFTAG_IMAGEWIDTH, rowBytes * 8) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_IMAGELENGTH, height) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_COMPRESSION, compression.scheme) == 1;
    if (ok && compression.scheme == COMPRESSION_CCITTFAX4 && compression.group4Options)
        ok = TIFFSetField(out, TIFFTAG_GROUP4OPTIONS, 0) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, kStripRows) == 1;
    if (ok && first.hasResolution) {
        ok = TIFFSetField(out, TIFFTAG_XRESOLUTION, first.xResolution) == 1 &&
             TIFFSetField(out, TIFFTAG_YRESOLUTION, first.yResolution) == 1;
    }
    ok = ok && TIFFSetField(out, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_SOFTWARE, "Tulvane Plexivar") == 1;
    if (ok && !description.empty())
        ok = TIFFSetField(out, TIFFTAG_IMAGEDESCRIPTION, description.c_str()) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_DATETIME,
                            FormatMergeDateTime(plexivar::platform::Now()).c_str()) == 1;
    const std::string host = HostName();
    if (ok && !host.empty())
        ok = TIFFSetField(out, TIFFTAG_HOSTCOMPUTER, host.c_str()) == 1;
    return ok;
}

// Reads row `y` of `input` into `row` as min-is-white bits (1 = black); bytes beyond the
// input's row stay as they are (white).
bool ReadMergeRow(MergeInput& input, std::uint32_t y, std::uint8_t* row) {
    if (!input.reader.ReadRow(y, row))
        return false;
    if (input.minIsBlack) {
        for (std::uint32_t i = 0; i < input.reader.rowBytes(); ++i)
            row[i] = static_cast<std::uint8_t>(~row[i]);
    }
    // The bits of the last byte past the input's width are no pixels of it: they stay white,
    // so that they never cover the other input's pixels there (inverted, a min-is-black
    // row's unused bits would otherwise come out black).
    const std::uint32_t used = input.reader.width() % 8;
    if (used != 0)
        row[input.reader.rowBytes() - 1] &= static_cast<std::uint8_t>(0xFF << (8 - used));
    return true;
}

bool Merge(const std::string& firstPath, const std::string& secondPath, const std::string& outPath,
           const std::string& description, OutputCompression compression, std::string& error,
           bool& outputCreated) {
    std::array<MergeInput, 2> inputs;
    if (!OpenInput(firstPath, inputs[0], error) || !OpenInput(secondPath, inputs[1], error))
        return false;
    // The output replaces the first file: its further images would be lost. (Of the
    // background, only the first image is used.)
    if (!TIFFLastDirectory(inputs[0].file.get())) {
        error = "Unsupported image in file " + firstPath + ": the file holds more than one image";
        return false;
    }

    const std::uint32_t rowBytes =
        std::max(inputs[0].reader.rowBytes(), inputs[1].reader.rowBytes());
    const std::uint32_t height = std::max(inputs[0].reader.height(), inputs[1].reader.height());
    // The output is whole bytes wide; the pixels between the wider input's right edge and the
    // end of its last byte come out black on that input's rows. Pixels of the narrower
    // input's last byte that the wider input covers keep the wider input's content.
    const std::uint32_t width = std::max(inputs[0].reader.width(), inputs[1].reader.width());
    const auto padding = static_cast<std::uint8_t>(width % 8 == 0 ? 0 : 0xFF >> (width % 8));
    std::uint32_t paddedRows = 0;
    for (const MergeInput& input : inputs) {
        if (input.reader.width() == width)
            paddedRows = std::max(paddedRows, input.reader.height());
    }

    std::array<std::vector<std::uint8_t>, 2> rows;
    std::vector<std::uint8_t> strip;
    try {
        rows[0].resize(rowBytes);
        rows[1].resize(rowBytes);
    } catch (const std::bad_alloc&) {
        error = "Mem error 1";
        return false;
    }
    try {
        strip.resize(std::size_t{kStripRows} * rowBytes);
    } catch (const std::bad_alloc&) {
        error = "Mem error 2";
        return false;
    }

    TiffFile out;
    if (!out.Open(outPath, "wm")) {
        error = out.Describe("Failed opening output file " + outPath);
        return false;
    }
    outputCreated = true;
    const std::string writeError = "ERROR: Unable to write 1-bit TIFF " + outPath + "\n";
    if (!WriteTags(out.get(), rowBytes, height, inputs[0], description, compression)) {
        error = writeError;
        return false;
    }

    std::uint32_t stripIndex = 0;
    std::uint32_t stripRows = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* target = strip.data() + std::size_t{stripRows} * rowBytes;
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            std::fill(rows[i].begin(), rows[i].end(), std::uint8_t{0});
            if (y < inputs[i].reader.height() && !ReadMergeRow(inputs[i], y, rows[i].data())) {
                error = "Error reading scanline " + std::to_string(y) + " of file " +
                        inputs[i].file.path();
                return false;
            }
        }
        for (std::uint32_t b = 0; b < rowBytes; ++b)
            target[b] = static_cast<std::uint8_t>(rows[0][b] | rows[1][b]);
        if (y < paddedRows)
            target[rowBytes - 1] |= padding;
        ++stripRows;
        if (stripRows == kStripRows || y + 1 == height) {
            const tmsize_t bytes = static_cast<tmsize_t>(std::size_t{stripRows} * rowBytes);
            if (TIFFWriteEncodedStrip(out.get(), stripIndex, strip.data(), bytes) < 0) {
                error = writeError;
                return false;
            }
            ++stripIndex;
            stripRows = 0;
        }
    }
    inputs[0].file.Close();
    inputs[1].file.Close();
    if (TIFFWriteDirectory(out.get()) != 1) {
        error = writeError;
        return false;
    }
    out.Close();
    return true;
}

}  // namespace

std::string FormatMergeDateTime(const plexivar::platform::LocalTime& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4d/%2.d/%.2d %.2d:%.2d:%.2d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second);
    return text;
}

bool MergeBackground(const std::string& firstPath, const std::string& secondPath,
                     const std::string& outPath, const std::string& description,
                     OutputCompression compression, std::string* errorText) {
    std::string error;
    bool outputCreated = false;
    const bool ok =
        Merge(firstPath, secondPath, outPath, description, compression, error, outputCreated);
    // A failed merge leaves no half-written output for a caller to deliver by mistake.
    if (!ok && outputCreated)
        plexivar::platform::DeleteFile(outPath);
    if (errorText != nullptr)
        *errorText = ok ? std::string() : error;
    return ok;
}

}  // namespace vestrel
