// Fuzz targets for plates: the engine's three runs, the background merge and the row reader,
// each given a TIFF file of any bytes. Besides not crashing, each run keeps its promises
// about files: a success leaves a readable 1-bit image at the output path, a failure a
// message and no file at all (no output, no working file).
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/api/engine_setup.h"
#include "engine/io/unique_tiff.h"
#include "engine/pipeline/delivery.h"
#include "engine/pipeline/dot_gain_tiff.h"
#include "engine/pipeline/input_facts.h"
#include "engine/pipeline/output_geometry.h"
#include "engine/pipeline/resample_tiff.h"
#include "engine/pipeline/simple_resample_tiff.h"
#include "engine/tiff/background_merge.h"
#include "engine/tiff/row_reader.h"
#include "engine/tiff/tiff_open.h"
#include "tests/engine/plate_images.h"
#include "tests/fuzz/fuzz_targets.h"
#include "tests/fuzz/plate_parameters.h"
#include "tests/fuzz/scratch.h"
#include "tests/fuzz/target_functions.h"

namespace plexivar::fuzz {
namespace {

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// The input's facts as the pipelines read them; false when they refuse it at once.
bool ReadFacts(const std::string& path, vestrel::InputFacts& facts) {
    vestrel::UniqueTiff tif(vestrel::OpenTiff(path, "r"));
    std::string error;
    return tif && vestrel::ReadInputFacts(tif.get(), facts, error);
}

bool WithinBudget(std::uint64_t width, std::uint64_t height, std::uint64_t budget = kMaxFuzzPixels) {
    return width * height <= budget;
}

// Width and height of the first image of a file, for the budget of the merge; false when it
// does not open.
bool ImageSize(const std::string& path, std::uint32_t& width, std::uint32_t& height) {
    vestrel::UniqueTiff tif(vestrel::OpenTiff(path, "r"));
    return tif && TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) == 1 &&
           TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) == 1;
}

// A run's result at `output` is a 1-bit image that reads from top to bottom; returns its
// size.
std::pair<std::uint32_t, std::uint32_t> RequireReadableOutput(const std::string& output, const char* run) {
    vestrel::UniqueTiff tif(vestrel::OpenTiff(output, "r"));
    Require(tif != nullptr, "a successful run leaves its output", run);
    vestrel::RowReader rows;
    std::string error;
    Require(rows.Init(tif.get(), &error), "the output is a 1-bit image", std::string(run) + ": " + error);
    std::vector<std::uint8_t> row(rows.rowBytes());
    for (std::uint32_t y = 0; y < rows.height(); ++y)
        Require(rows.ReadRow(y, row.data()), "the output reads", run);
    return {rows.width(), rows.height()};
}

// After a run: on success the output is there and readable (of the input's size where the
// run keeps it), on failure there is a message and neither the output nor the working file
// named in the caller's buffer. Both are removed for the next input.
void CheckRun(int result, const std::string& output, const char* outputBuffer,
              const char* errorText, const char* run, const vestrel::InputFacts* sameSizeAs = nullptr) {
    const std::string working = outputBuffer;
    if (result == 1) {
        const auto [width, height] = RequireReadableOutput(output, run);
        if (sameSizeAs != nullptr)
            Require(width == sameSizeAs->width && height == sameSizeAs->height,
                    "the output has the input's size", run);
    } else {
        Require(errorText == nullptr || errorText[0] != '\0', "a failed run says why", run);
        Require(!Exists(output), "a failed run leaves no output", run);
        Require(working == output || !Exists(working), "a failed run leaves no working file",
                std::string(run) + ": " + working);
    }
    ::unlink(output.c_str());
    if (working != output) ::unlink(working.c_str());
}

using CountedTiff = std::unique_ptr<TIFF, void (*)(TIFF*)>;

// Opens `path` with handlers that count the library's warnings and errors in `complaints`
// (and keep them off the process-wide handlers).
CountedTiff OpenCounting(const std::string& path, int& complaints) {
    const auto complain = [](TIFF*, void* count, const char*, const char*, va_list) {
        ++*static_cast<int*>(count);
        return 1;  // handled
    };
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                        TIFFOpenOptionsFree);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), complain, &complaints);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), complain, &complaints);
    return CountedTiff(TIFFOpenExt(path.c_str(), "r", options.get()), TIFFClose);
}

// The first image of `path` as the TIFF library reads it whole (RGBA, top row first), when
// it decodes without a single warning or error. Only then must two ways of reading it agree
// pixel for pixel: on damaged data the library's decoders fill what they cannot read
// differently by scanline and by strip.
bool CleanRaster(const std::string& path, std::vector<std::uint32_t>& raster) {
    int complaints = 0;
    CountedTiff tif = OpenCounting(path, complaints);
    std::uint32_t width = 0, height = 0;
    if (!tif || TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) != 1 || !WithinBudget(width, height))
        return false;
    raster.assign(static_cast<std::size_t>(width) * height, 0);
    return TIFFReadRGBAImageOriented(tif.get(), width, height, raster.data(), ORIENTATION_TOPLEFT, 1) == 1 &&
           complaints == 0;
}

bool DecodesCleanly(const std::string& path) {
    std::vector<std::uint32_t> raster;
    return CleanRaster(path, raster);
}

// The merge's output is the OR of the two inputs' ink, aligned at their top-left corners,
// as wide as the wider input rounded up to whole bytes and as high as the higher one
// (checked where both inputs read whole).
void RequireMergedInk(const std::string& first, const std::string& second, const std::string& output) {
    vestrel::testing::Appearance a, b, out;
    if (!DecodesCleanly(first) || !DecodesCleanly(second) ||
        !vestrel::testing::ReadAppearance(first, a) || !vestrel::testing::ReadAppearance(second, b))
        return;
    Require(vestrel::testing::ReadAppearance(output, out), "the merged image reads");
    const std::uint32_t width = std::max(a.width, b.width), height = std::max(a.height, b.height);
    Require(out.width == (width + 7) / 8 * 8 && out.height == height, "the merged image's size",
            std::to_string(out.width) + " x " + std::to_string(out.height));
    const auto ink = [](const vestrel::testing::Appearance& image, std::uint32_t x, std::uint32_t y) {
        return x < image.width && y < image.height && image.Ink(x, y);
    };
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            Require(out.Ink(x, y) == (ink(a, x, y) || ink(b, x, y)), "merged ink is the OR of both",
                    "at " + std::to_string(x) + ", " + std::to_string(y));
}

// Rows as the row reader gives them agree with the TIFF library's own whole-image reading
// of a black-and-white first image that decodes cleanly both ways: the tile assembly in
// particular. (A PackBits run that crosses a row end is cut at the row by the library's
// scanline decoder, with a warning, and carried on by its strip decoder: such a file is
// damaged, and neither reading is the right one.)
void RequireRowsLikeTheLibrary(const std::string& path) {
    std::vector<std::uint32_t> raster;
    if (!CleanRaster(path, raster)) return;
    int complaints = 0;
    CountedTiff tif = OpenCounting(path, complaints);
    vestrel::RowReader rows;
    std::uint16_t photometric = 0;
    if (!tif || !rows.Init(tif.get(), nullptr) ||
        TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric) != 1 ||
        (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK))
        return;
    const std::uint32_t width = rows.width();
    std::vector<std::uint8_t> image(static_cast<std::size_t>(rows.rowBytes()) * rows.height());
    for (std::uint32_t y = 0; y < rows.height(); ++y) {
        if (!rows.ReadRow(y, image.data() + static_cast<std::size_t>(y) * rows.rowBytes())) {
            Require(complaints != 0, "a cleanly decoding image reads row by row");
            return;
        }
    }
    if (complaints != 0) return;
    for (std::uint32_t y = 0; y < rows.height(); ++y) {
        const std::uint8_t* row = image.data() + static_cast<std::size_t>(y) * rows.rowBytes();
        for (std::uint32_t x = 0; x < width; ++x) {
            const bool bit = (row[x / 8] >> (7 - x % 8)) & 1;
            const bool ink = photometric == PHOTOMETRIC_MINISWHITE ? bit : !bit;
            const bool libraryInk = TIFFGetR(raster[static_cast<std::size_t>(y) * width + x]) < 128;
            Require(ink == libraryInk, "the row reader reads what the library reads",
                    "at " + std::to_string(x) + ", " + std::to_string(y));
        }
    }
}

// The row-dropping reduction's output holds the input's rows that the plan keeps, in order,
// and the last input row when the plan drops it (no later row takes its place), then white
// rows to the input's height (checked where the input decodes cleanly).
void RequireRowsDropped(const std::string& input, const std::string& output, double scale) {
    vestrel::testing::Appearance in, out;
    vestrel::RowDropPlan plan;
    if (!DecodesCleanly(input) || !vestrel::testing::ReadAppearance(input, in) ||
        !vestrel::PlanRowDropping(in.height, scale, plan, nullptr))
        return;
    Require(vestrel::testing::ReadAppearance(output, out) && out.width == in.width &&
                out.height == in.height,
            "the reduced image reads at the input's size");
    std::uint32_t kept = 0;
    for (std::uint32_t y = 0; y < in.height; ++y) {
        if (vestrel::IsDroppedRow(plan, y) && y + 1 != in.height) continue;
        for (std::uint32_t x = 0; x < in.width; ++x)
            Require(out.Ink(x, kept) == in.Ink(x, y), "kept rows move up unchanged",
                    "input row " + std::to_string(y) + " at " + std::to_string(x));
        ++kept;
    }
    for (std::uint32_t y = kept; y < out.height; ++y)
        for (std::uint32_t x = 0; x < out.width; ++x)
            Require(!out.Ink(x, y), "rows below the content are white", "row " + std::to_string(y));
}

struct CallBuffers {
    std::array<char, VESTREL_OUTPUT_PATH_SIZE> outputPath{};
    std::array<char, VESTREL_ERROR_TEXT_SIZE> errorText{};

    explicit CallBuffers(const std::string& output) {
        std::strncpy(outputPath.data(), output.c_str(), outputPath.size() - 1);
    }
};

// The plate of a plate target's input (what follows its parameter bytes), as a scratch file.
std::string WritePlate(const char* name, const std::uint8_t* data, std::size_t size,
                       std::size_t parameterBytes) {
    return WriteScratchFile(name, {reinterpret_cast<const char*>(data) + parameterBytes,
                                   size - parameterBytes});
}

}  // namespace

void FuzzResamleTIFF(const std::uint8_t* data, std::size_t size) {
    if (size < kResampleParameterBytes) return;
    const ResampleParameters p = DecodeResampleParameters(data);
    const std::string input = WritePlate("resample.tif", data, size, kResampleParameterBytes);
    vestrel::InputFacts facts;
    if (ReadFacts(input, facts)) {
        if (!WithinBudget(facts.width, facts.height)) return;
        vestrel::GeometryRequest request;
        request.inW = facts.width;
        request.inH = facts.height;
        request.hasFileResolution = facts.hasResolution;
        request.fileResX = facts.resX;
        request.fileResY = facts.resY;
        request.resolutionX = p.resolutionX;
        request.resolutionY = p.resolutionY;
        request.scaleX = p.scaleX;
        request.scaleY = p.scaleY;
        request.keepResolution = p.keepResolution;
        vestrel::OutputGeometry geometry;
        if (vestrel::ComputeOutputGeometry(request, geometry, nullptr) &&
            !WithinBudget(geometry.outW, geometry.outH, 4 * kMaxFuzzPixels))
            return;
    }
    vestrel::StoreParams(p.lineBuffers, p.xReference, p.yReference);
    const std::string output = ScratchFolder() + "/resampled.tif";
    CallBuffers call(output);
    const int result = vestrel::RunResamleTIFF(
        input.c_str(), call.outputPath.data(), p.keepSize, p.keepResolution, p.resolutionX,
        p.resolutionY, p.scaleX, p.scaleY, p.topMargin, p.bottomMargin, p.leftMargin,
        p.rightMargin, call.errorText.data(), nullptr, p.mergeBackground,
        BackgroundPlatePath().c_str());
    CheckRun(result, output, call.outputPath.data(), call.errorText.data(), "ResamleTIFF");
}

void FuzzSimpleResamleTIFF(const std::uint8_t* data, std::size_t size) {
    if (size < kSimpleParameterBytes) return;
    const double scale = DecodeSimpleScale(data);
    const std::string input = WritePlate("simple.tif", data, size, kSimpleParameterBytes);
    vestrel::InputFacts facts;
    const bool readable = ReadFacts(input, facts);
    if (readable && !WithinBudget(facts.width, facts.height)) return;
    const std::string output = ScratchFolder() + "/simple-out.tif";
    const int result = vestrel::RunSimpleResamleTIFF(input.c_str(), output.c_str(), 0, 0, scale);
    if (result == 1) RequireRowsDropped(input, output, scale);
    CheckRun(result, output, output.c_str(), nullptr, "SimpleResamleTIFF", readable ? &facts : nullptr);
}

void FuzzDotGainTIFF(const std::uint8_t* data, std::size_t size) {
    if (size < kDotGainParameterBytes) return;
    const char* separation = DecodeSeparationName(data);
    const std::string input = WritePlate("dotgain.tif", data, size, kDotGainParameterBytes);
    vestrel::InputFacts facts;
    const bool readable = ReadFacts(input, facts);
    if (readable && !WithinBudget(facts.width, facts.height)) return;
    const std::string output = ScratchFolder() + "/dotgain-out.tif";
    CallBuffers call(output);
    const int result = vestrel::RunDotGainTIFF(input.c_str(), separation, call.outputPath.data(),
                                               call.errorText.data(), nullptr);
    CheckRun(result, output, call.outputPath.data(), call.errorText.data(), "DotGainTIFF",
             readable ? &facts : nullptr);
}

void FuzzBackgroundMerge(const std::uint8_t* data, std::size_t size) {
    if (size < kMergeParameterBytes) return;
    const MergeParameters p = DecodeMergeParameters(data, size);
    const char* bytes = reinterpret_cast<const char*>(data) + kMergeParameterBytes;
    const std::string first = WriteScratchFile("merge-1.tif", {bytes, p.firstSize});
    const std::string second = WriteScratchFile(
        "merge-2.tif", {bytes + p.firstSize, size - kMergeParameterBytes - p.firstSize});
    for (const std::string& path : {first, second}) {
        std::uint32_t width = 0, height = 0;
        if (ImageSize(path, width, height) && !WithinBudget(width, height)) return;
    }
    const std::string output = ScratchFolder() + "/merged.tif";
    std::string error;
    const bool merged = vestrel::MergeBackground(first, second, output, p.description,
                                                 p.compression, &error);
    if (merged) RequireMergedInk(first, second, output);
    CheckRun(merged ? 1 : 0, output, output.c_str(), error.c_str(), "MergeBackground");
}

void FuzzRowReader(const std::uint8_t* data, std::size_t size) {
    const std::string path =
        WriteScratchFile("rows.tif", {reinterpret_cast<const char*>(data), size});
    vestrel::UniqueTiff tif(vestrel::OpenTiff(path, "r"));
    if (!tif) return;
    // The first few images of the file, each read top to bottom and then its first row again.
    for (int image = 0; image < 4; ++image) {
        vestrel::RowReader rows;
        std::string error;
        if (rows.Init(tif.get(), &error) && WithinBudget(rows.width(), rows.height(), 8 * kMaxFuzzPixels)) {
            Require(rows.rowBytes() == (static_cast<std::uint64_t>(rows.width()) + 7) / 8,
                    "a row is the width in whole bytes");
            std::vector<std::uint8_t> row(rows.rowBytes());
            std::uint32_t y = 0;
            while (y < rows.height() && rows.ReadRow(y, row.data())) ++y;
            rows.ReadRow(0, row.data());
            if (image == 0) RequireRowsLikeTheLibrary(path);
        }
        if (TIFFReadDirectory(tif.get()) != 1) break;
    }
}

}  // namespace plexivar::fuzz
