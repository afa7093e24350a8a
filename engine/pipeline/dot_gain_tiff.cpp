#include "engine/pipeline/dot_gain_tiff.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/io/band_packing.h"
#include "engine/io/band_rows.h"
#include "engine/pipeline/engine_run.h"
#include "engine/api/engine_setup.h"
#include "engine/api/export_call.h"
#include "engine/pipeline/input_facts.h"
#include "engine/filter/filter_settings.h"
#include "engine/filter/filter_state.h"
#include "engine/filter/gain/gain_filter.h"
#include "engine/pipeline/output_geometry.h"
#include "engine/pipeline/resample_tiff.h"
#include "engine/io/source_reader.h"
#include "engine/tiff/row_reader.h"
#include "engine/io/unique_tiff.h"
#include "platform/c_locale.h"
#include "platform/file_ops.h"

namespace vestrel {
namespace fs = plexivar::platform;
using plexivar::platform::Format;

namespace {

// Tags of the working file, always Group 4 and always with the descriptive tags.
bool SetGainOutputTags(TIFF* out, const InputFacts& in, int lineBuffers) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char date[32];
    std::strftime(date, sizeof date, "%Y:%m:%d:%H:%M:%S", &tm);

    bool ok = TIFFSetField(out, TIFFTAG_SUBFILETYPE, 0) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_IMAGEWIDTH, in.width) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_IMAGELENGTH, in.height) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_IMAGEDESCRIPTION, "Resampler output") == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_ARTIST, "Tulvane") == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_SOFTWARE, "Quillon") == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) == 1;
    // No ResolutionUnit: readers take the TIFF default, inch. An input without resolution
    // has none to pass on.
    if (in.hasResolution) {
        ok = ok && TIFFSetField(out, TIFFTAG_XRESOLUTION, in.resX) == 1;
        ok = ok && TIFFSetField(out, TIFFTAG_YRESOLUTION, in.resY) == 1;
    }
    ok = ok && TIFFSetField(out, TIFFTAG_PAGENUMBER, in.page, in.pages) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_GROUP4OPTIONS, 0) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_SUBFILETYPE, in.subfileType) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_DATETIME, date) == 1;
    // Each band is written as one strip.
    ok =
        ok && TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(lineBuffers)) == 1;
    return ok;
}

// One dot-gain run.
class DotGainRun : public EngineRun {
  public:
    explicit DotGainRun(const SleepFunction& sleep) : EngineRun(&ReleaseGainTables), sleep_(sleep) {}

    int Run(const char* inputPath, const std::string& separationName, char* outputPath);

  private:
    bool ReadImage(TIFF* input, const InputFacts& in, bool& negative);

    const SleepFunction& sleep_;
};

// Reads the whole image into the reader's buffer as a positive: min-is-black rows are
// inverted as they are read, and an image whose first row starts and ends with ink bytes
// is taken for a negative and inverted as a whole (`negative` tells the writer to invert
// the output back).
bool DotGainRun::ReadImage(TIFF* input, const InputFacts& in, bool& negative) {
    std::uint8_t* const image = ActiveSourceReader().readBuffer.data();
    RowReader rows;
    if (std::string why; !rows.Init(input, &why) || rows.rowBytes() != in.rowBytes) {
        error_ = Format("Error reading TIFF file: %s", why.c_str());
        return false;
    }
    for (std::uint32_t i = 0; i < in.height; ++i) {
        std::uint8_t* row = image + static_cast<std::size_t>(i) * in.rowBytes;
        if (!rows.ReadRow(i, row)) {
            error_ = Format("Error reading TIFF scanline %u", i);
            return false;
        }
        if (in.photometric != PHOTOMETRIC_MINISWHITE)
            InvertBytes(row, in.rowBytes);
    }
    negative = image[0] == 0xFF && image[in.rowBytes - 1] == 0xFF;
    if (negative)
        InvertBytes(image, in.rowBytes * in.height);
    return true;
}

int DotGainRun::Run(const char* inputPath, const std::string& separationName, char* outputPath) {
    const EngineSetup& setup = ProcessSetup();
    const int lineBuffers = setup.lineBuffers > 0 ? setup.lineBuffers : 1;

    const std::string finalPath = outputPath;
    const std::string workPath = Format("%s.tmp", inputPath);
    InputFacts in;
    UniqueTiff input = OpenRunInput(inputPath, workPath, outputPath, in, error_);
    if (!input) return 0;  // refused before any allocation

    if (!BeginFiltering(setup.iniPath))
        return 0;
    FilterSettings& fs = *settings_;
    // The image keeps its size and resolution: one source pixel per output pixel.
    fs.TargetResX = fs.SourceResX = in.resX;
    fs.TargetResY = fs.SourceResY = in.resY;
    fs.ScalePercentX = fs.ScalePercentY = 100.0f;
    fs.ScaleX = fs.ScaleY = 1.0f;
    fs.KeepResolution = 1;
    fs.TargetWidth = fs.SourceWidth = static_cast<std::int32_t>(in.width);
    fs.TargetHeight = fs.SourceHeight = static_cast<std::int32_t>(in.height);
    fs.BitsPerSample = 1;
    SelectAutomaticParameters(fs);
    RegisterSeparationCurve(fs, separationName, nullptr);
    // Without the master curve the separation's own section (or "Process", "Default") is
    // looked up now that its slot exists.
    if (fs.UseMaster == 0)
        ReadCurveSections(fs);
    fs.SeparationName = separationName;

    SourceReader& reader = ActiveSourceReader();
    const std::size_t imageBytes = in.rowBytes * in.height;
    std::string why;
    if (!reader.readBuffer.Reserve(imageBytes, &why))
        return Fail(Format("Memory allocation error - image buffer of %zu bytes: %s", imageBytes,
                           why.c_str()));
    if (!StartSourceReader(SourceMode::preloaded, UniqueTiff(), in.photometric, in.width, in.height,
                           in.rowBytes, 0, &why))
        return Fail("Unsupported TIFF layout - " + why);

    // Sized for the largest request of a band or an estimation band. A band never has more
    // rows than the image.
    const std::size_t bandRows =
        std::min<std::size_t>(static_cast<std::size_t>(lineBuffers), in.height);
    SourceRowSet sourceRows;
    BandRows destRows;
    try {
        const auto requestRows = std::min<std::size_t>(
            static_cast<std::size_t>(MaxGainRequestRows(fs, lineBuffers)), in.height);
        sourceRows.Allocate(requestRows, in.width);
    } catch (const std::bad_alloc&) {
        return Fail(Format("Memory allocation error - source rows of %u bytes", in.width));
    }

    bool negative = false;
    if (!ReadImage(input.get(), in, negative))
        return 0;
    input.reset();  // the input may be moved by others while the filter runs

    if (!destRows.Allocate(bandRows, in.width))
        return Fail(Format("Memory allocation error - %zu output rows of %u bytes", bandRows,
                           in.width));
    std::uint8_t** sourceTables[1] = {nullptr};
    AreaDesc dest = WholeImageArea(in.width, in.height, destRows.tables());
    fs.DestDesc = dest;
    fs.SourceDesc = WholeImageArea(in.width, in.height, sourceTables);

    PublishFilterSettings(fs);
    SetGainSourceReader(&GetData);
    int status = 1;
    if (!InitGainFilter(dest, sourceRows, status) || status != 0)
        return Fail(WithFilterReason("Data estimation error"));

    workPath_ = workPath;
    output_.reset(OpenTiff(workPath, "w"));
    if (!output_ || !SetGainOutputTags(output_.get(), in, lineBuffers))
        return Fail(Format("WriteTIFF: Error opening %s for writing\n", workPath.c_str()));

    const std::size_t outRowBytes = in.rowBytes;
    std::vector<std::uint8_t> band;
    try {
        band.assign(bandRows * outRowBytes, 0);
    } catch (const std::bad_alloc&) {
        return Fail(Format("Memory allocation error - band of %zu bytes", bandRows * outRowBytes));
    }
    int first = 1;
    tstrip_t strip = 0;
    for (std::uint32_t y = 0; y < in.height;) {
        const auto n =
            static_cast<std::uint32_t>(std::min<std::size_t>(bandRows, std::size_t{in.height - y}));
        dest.y = static_cast<std::int32_t>(y);
        dest.h = static_cast<std::int32_t>(n);
        if (!DoGainFilterData(dest, status, sourceRows, first))
            return Fail(WithFilterReason(Format("Filtering error offset %u", y)));
        first = 0;
        for (std::uint32_t r = 0; r < n; ++r)
            PackRow(destRows.rows()[r], in.width, band.data() + r * outRowBytes);
        const std::size_t bytes = n * outRowBytes;
        if (negative)
            InvertBytes(band.data(), bytes);
        if (TIFFWriteEncodedStrip(output_.get(), strip++, band.data(),
                                  static_cast<tmsize_t>(bytes)) < 0)
            return Fail(Format("WriteTIFF: Error writing %s line %u\n", workPath.c_str(), y));
        y += n;
        fs.DestDesc.y = static_cast<std::int32_t>(y);
    }

    ReleaseGainTables();
    if (!TIFFWriteDirectory(output_.get()))
        return Fail(Format("WriteTIFF: Error writing %s line %u\n", workPath.c_str(), in.height));
    output_.reset();
    ReleaseErrorRows();
    ClearCurrentFilterSettings();
    settings_.reset();
    ReportProgress(0);

    // The one delivery of the engine (straight or staged, as UseTempPath says), with the
    // working file named the dot-gain way.
    if (!DeliverWorkingFile(workPath, finalPath, setup.useTempPath, setup.tempPath, error_, sleep_))
        return Fail(error_);
    failed_ = false;
    fs::DeleteFile(workPath);
    return 1;
}

}  // namespace

int RunDotGainTIFF(const char* inputPath, const char* separationName, char* outputPath,
                   char* errorText, ProgressCallback progress) noexcept {
    return RunDotGainTIFF(inputPath, separationName, outputPath, errorText, progress,
                          SleepMilliseconds);
}

int RunDotGainTIFF(const char* inputPath, const char* separationName, char* outputPath,
                   char* errorText, ProgressCallback progress,
                   const SleepFunction& sleep) noexcept {
    return RunExport(errorText, progress, [&](std::string& message) {
        if (inputPath == nullptr || outputPath == nullptr) {
            message = "Missing file name";
            return 0;
        }
        DotGainRun run(sleep);
        const int result =
            run.Run(inputPath, separationName != nullptr ? separationName : "", outputPath);
        message = run.error();
        return result;
    });
}

}  // namespace vestrel
