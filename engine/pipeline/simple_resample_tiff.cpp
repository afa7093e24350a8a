#include "engine/pipeline/simple_resample_tiff.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>
#include <vector>

#include "engine/api/engine_log.h"
#include "engine/api/engine_setup.h"
#include "engine/api/export_call.h"
#include "engine/pipeline/input_facts.h"
#include "engine/tiff/copy_options.h"
#include "engine/tiff/row_reader.h"
#include "engine/tiff/tag_copy.h"
#include "engine/tiff/tiff_file.h"
#include "platform/c_locale.h"
#include "platform/file_ops.h"

namespace vestrel {
namespace fs = plexivar::platform;
using plexivar::platform::Format;

bool PlanRowDropping(std::uint32_t height, double scalePercent, RowDropPlan& plan,
                     std::string* error) {
    plan = RowDropPlan();
    plan.height = height;
    if (!std::isfinite(scalePercent) || scalePercent <= 0) {
        if (error != nullptr)
            *error = Format("unusable scale %g %%", scalePercent);
        return false;
    }
    // Content height in rows, rounded half up.
    const double kept = std::trunc(static_cast<double>(height) * (scalePercent * 0.01) + 0.5);
    // 100 % or more (or within half a row of it): nothing to drop, the image is copied as it
    // is. Dropping rows cannot make the content taller.
    if (kept >= static_cast<double>(height))
        return true;
    const auto keptRows = static_cast<std::uint32_t>(kept);
    // Below half the height every row would be a multiple of dropEvery = 1: only the first
    // and the last row would be left of the picture.
    if (std::uint64_t{keptRows} * 2 < height) {
        if (error != nullptr)
            *error = Format(
                "%g %% of %u rows is less than half the height; rows can only be "
                "dropped down to 50 %%",
                scalePercent, height);
        return false;
    }
    plan.dropEvery = height / (height - keptRows);
    return true;
}

namespace {

// The strip height asked of the output, before the library's rule for values below 1
// (its default of about 8 KB per strip) is applied. -1 keeps the input's strip height.
int RequestedStripRows(TIFF* in, int configured, std::uint32_t height) {
    if (configured != -1)
        return configured;
    // A tiled input has no strip height to keep.
    if (TIFFIsTiled(in))
        return 0;
    std::uint32_t rows = 0;
    TIFFGetFieldDefaulted(in, TIFFTAG_ROWSPERSTRIP, &rows);
    // A strip height beyond the image (the format's default when the tag is missing) means
    // one strip for the whole image.
    rows = std::min({rows, height, static_cast<std::uint32_t>(INT_MAX)});
    return static_cast<int>(std::max<std::uint32_t>(rows, 1));
}

// One call. Whatever is still open when it ends is closed; a failed call removes the
// output it created and clears the caller's progress indicator.
class SimpleResampleRun {
  public:
    explicit SimpleResampleRun(std::string outputPath) : outputPath_(std::move(outputPath)) {}
    ~SimpleResampleRun() {
        input_.Close();
        output_.Close();
        if (!succeeded_ && outputCreated_)
            fs::DeleteFile(outputPath_);
        if (progressStarted_)
            ReportProgress(0);
    }
    SimpleResampleRun(const SimpleResampleRun&) = delete;
    SimpleResampleRun& operator=(const SimpleResampleRun&) = delete;

    bool Run(const std::string& inputPath, double scalePercent);
    const std::string& error() const { return error_; }

  private:
    bool Fail(std::string message) {
        error_ = std::move(message);
        return false;
    }
    bool WriteRows(RowReader& reader, const RowDropPlan& plan, std::uint8_t white);
    bool WriteRow(std::uint8_t* row, std::uint32_t index);

    std::string outputPath_;
    TiffFile input_;
    TiffFile output_;
    std::string error_;
    bool outputCreated_ = false;
    bool progressStarted_ = false;
    bool succeeded_ = false;
};

bool SimpleResampleRun::Run(const std::string& inputPath, double scalePercent) {
    // Deleting the output first would delete the input itself.
    std::error_code ec;
    if (std::filesystem::equivalent(inputPath, outputPath_, ec))
        return Fail("the output path names the input file");
    // A failed call leaves nothing at the output path, not even an older file.
    std::string why;
    if (!fs::DeleteFile(outputPath_, &why))
        return Fail("cannot delete the old output: " + why);

    if (!input_.Open(inputPath, "rm"))
        return Fail(input_.Describe("cannot open the input"));
    // The same checks of the input's tags as the other pipelines, before any allocation: a
    // 1-bit black-and-white image (no palette, no colour) of a plausible size.
    InputFacts facts;
    if (!ReadInputFacts(input_.get(), facts, why))
        return Fail(why);
    RowReader reader;
    if (!reader.Init(input_.get(), &why))
        return Fail("unsupported input: " + why);
    RowDropPlan plan;
    if (!PlanRowDropping(reader.height(), scalePercent, plan, &why))
        return Fail(why);
    // The freed rows at the bottom are paper, whichever value the input uses for it.
    const std::uint8_t white = facts.photometric == PHOTOMETRIC_MINISBLACK ? 0xFF : 0x00;

    outputCreated_ = true;
    if (!output_.Open(outputPath_, "wm"))
        return Fail(output_.Describe("cannot create the output"));
    progressStarted_ = true;
    ReportProgress(0);

    const int requested =
        RequestedStripRows(input_.get(), ProcessSetup().rowsPerStrip, reader.height());
    std::uint32_t stripRows = 0;
    if (!CopyImageTags(input_.get(), output_.get(), requested,
                       StripHeightRule::kLibraryDefaultBelowOne, CopyOptions(), &stripRows, &why))
        return Fail(output_.Describe(why));

    if (!WriteRows(reader, plan, white))
        return false;
    if (TIFFWriteDirectory(output_.get()) != 1)
        return Fail(output_.Describe("cannot write the directory"));
    output_.Close();
    succeeded_ = true;
    return true;
}

// The output rows depend only on the kept input rows in their order, so the image streams
// through one row buffer: the kept rows in order; then the last input row when it was itself
// a dropped one (no later kept row takes its place); then white rows up to the input height.
// The output is written row by row into strips of the height set in its tags, so memory stays
// at one row plus the codec's buffer whatever the plate size.
bool SimpleResampleRun::WriteRows(RowReader& reader, const RowDropPlan& plan, std::uint8_t white) {
    const std::uint32_t height = reader.height();
    std::vector<std::uint8_t> row(reader.rowBytes());
    // About one report per percent of the input rows read.
    const std::uint32_t step = std::max<std::uint32_t>(1, height / 100);
    std::uint32_t written = 0;
    for (std::uint32_t i = 0; i < height; ++i) {
        if (!reader.ReadRow(i, row.data()))
            return Fail(input_.Describe(Format("cannot read row %u", i)));
        if (!IsDroppedRow(plan, i) || i == height - 1) {
            if (!WriteRow(row.data(), written++))
                return false;
        }
        if ((i + 1) % step == 0)
            ReportProgress(static_cast<int>(std::uint64_t{i + 1} * 100 / height));
    }
    for (; written < height; ++written) {
        // Refilled for every row: an encoder may use the row as scratch space.
        std::memset(row.data(), white, row.size());
        if (!WriteRow(row.data(), written))
            return false;
    }
    return true;
}

bool SimpleResampleRun::WriteRow(std::uint8_t* row, std::uint32_t index) {
    if (TIFFWriteScanline(output_.get(), row, index, 0) != 1)
        return Fail(output_.Describe(Format("cannot write row %u", index)));
    return true;
}

}  // namespace

int RunSimpleResamleTIFF(const char* inputPath, const char* outputPath, int /*reserved1*/,
                         int /*reserved2*/, double scalePercent) noexcept {
    if (inputPath == nullptr || outputPath == nullptr || *inputPath == '\0' ||
        *outputPath == '\0') {
        EngineLog("ERROR: Simple resampling: missing file name");
        return 0;
    }
    std::string error;
    const bool ok = RunGuarded(
                        [&](std::string& message) {
                            SimpleResampleRun run(outputPath);
                            const bool done = run.Run(inputPath, scalePercent);
                            message = run.error();
                            return done ? 1 : 0;
                        },
                        error) != 0;
    if (!ok) {
        EngineLog("ERROR: Simple resampling of %s to %s failed: %s", inputPath, outputPath,
                  error.c_str());
        return 0;
    }
    EngineLog("INFO: Simple resampling of %s to %s at %g %% done", inputPath, outputPath,
              scalePercent);
    return 1;
}

}  // namespace vestrel
