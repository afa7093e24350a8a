#include "engine/pipeline/resample_tiff.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <vector>

#include "engine/io/band_rows.h"
#include "engine/pipeline/delivery.h"
#include "engine/api/engine_log.h"
#include "engine/pipeline/engine_run.h"
#include "engine/api/engine_setup.h"
#include "engine/api/export_call.h"
#include "engine/pipeline/input_facts.h"
#include "engine/pipeline/output_geometry.h"
#include "engine/io/resample_writer.h"
#include "engine/io/source_reader.h"
#include "engine/tiff/apply_margins.h"
#include "engine/tiff/background_merge.h"
#include "engine/tiff/output_compression.h"
#include "engine/tiff/rewrite_strips.h"
#include "engine/filter/filter_settings.h"
#include "engine/filter/filter_state.h"
#include "engine/filter/resample_filter.h"
#include "platform/c_locale.h"
#include "platform/file_ops.h"

namespace vestrel {
namespace fs = plexivar::platform;
using plexivar::platform::Format;

namespace {

// Tags of the working file, in the order readers of older tools expect them.
bool SetOutputTags(TIFF* out, bool keepSize, const InputFacts& in, const OutputGeometry& g,
                   std::uint32_t rowsPerStrip) {
    const EngineSetup& setup = ProcessSetup();
    bool ok = TIFFSetField(out, TIFFTAG_IMAGEWIDTH, keepSize ? in.width : g.outW) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_IMAGELENGTH, keepSize ? in.height : g.outH) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1;
    const OutputCompression compression = CompressionForSetting(setup.compression);
    ok = ok && TIFFSetField(out, TIFFTAG_COMPRESSION, compression.scheme) == 1;
    if (compression.group4Options) ok = ok && TIFFSetField(out, TIFFTAG_GROUP4OPTIONS, 0) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE) == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_IMAGEDESCRIPTION, "Black") == 1;
    ok = ok && TIFFSetField(out, TIFFTAG_SUBFILETYPE, 0) == 1;
    if (setup.extraTags != 0) {
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        char date[32];
        std::strftime(date, sizeof date, "%Y:%m:%d:%H:%M:%S", &tm);
        ok = ok && TIFFSetField(out, TIFFTAG_ARTIST, "Tulvane") == 1;
        ok = ok && TIFFSetField(out, TIFFTAG_SOFTWARE, "Quillon") == 1;
        ok = ok && TIFFSetField(out, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) == 1;
        ok = ok && TIFFSetField(out, TIFFTAG_PAGENUMBER, in.page, in.pages) == 1;
        ok = ok && TIFFSetField(out, TIFFTAG_DATETIME, date) == 1;
    }
    // No ResolutionUnit: readers take the TIFF default, inch.
    if (g.outputResX > 0 && g.outputResY > 0) {
        ok = ok && TIFFSetField(out, TIFFTAG_XRESOLUTION, g.outputResX) == 1;
        ok = ok && TIFFSetField(out, TIFFTAG_YRESOLUTION, g.outputResY) == 1;
    }
    ok = ok && TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, rowsPerStrip) == 1;
    return ok;
}

// Most bytes of expanded source rows one band may hold.
constexpr double kSourceRowBudget = 24.0 * 1024 * 1024;

// Output rows per filter band: `lineBuffers`, or fewer so that the band's source rows stay
// within the budget (never below 16 rows).
int FilterBandRows(const FilterSettings& fs, int lineBuffers, std::uint32_t sourceWidth) {
    int rows = lineBuffers;
    while (rows > 16 && static_cast<double>(MaxResampleRequestRows(fs, rows)) * sourceWidth >
                            kSourceRowBudget)
        rows = std::max(16, rows * 3 / 4);
    return rows;
}

// One resampling run.
class ResampleRun : public EngineRun {
public:
    ResampleRun() : EngineRun(&ReleaseBandTables) {}

    int Run(const char* inputPath, char* outputPath, bool keepSize, bool keepResolution,
            double resolutionX, double resolutionY, double scaleX, double scaleY, double top,
            double bottom, double left, double right, bool merge, const char* backgroundPath);
};

int ResampleRun::Run(const char* inputPath, char* outputPath, bool keepSize, bool keepResolution,
                     double resolutionX, double resolutionY, double scaleX, double scaleY,
                     double top, double bottom, double left, double right, bool merge,
                     const char* backgroundPath) {
    SourceReader& reader = ActiveSourceReader();
    reader.margins.Clear();
    reader.negative = false;
    ReadPerCallSetup();
    const EngineSetup& setup = ProcessSetup();
    const int lineBuffers = setup.lineBuffers > 0 ? setup.lineBuffers : 1;

    const std::string finalPath = outputPath;
    const std::string workPath = WorkingPath(inputPath, ComputerName());
    InputFacts in;
    UniqueTiff input = OpenRunInput(inputPath, workPath, outputPath, in, error_);
    if (!input) return 0;  // refused before any allocation

    GeometryRequest request;
    request.inW = in.width;
    request.inH = in.height;
    request.hasFileResolution = in.hasResolution;
    request.fileResX = in.resX;
    request.fileResY = in.resY;
    request.resolutionX = resolutionX;
    request.resolutionY = resolutionY;
    request.scaleX = scaleX;
    request.scaleY = scaleY;
    request.keepResolution = keepResolution;
    OutputGeometry g;
    std::string why;
    // The output must be a plausible plate too; refused before any allocation.
    if (!ComputeOutputGeometry(request, g, &why)) return Fail(why);

    if (!BeginFiltering(setup.iniPath)) return 0;
    FilterSettings& fs = *settings_;

    fs.TargetResX = g.targetResX;
    fs.TargetResY = g.targetResY;
    fs.ScalePercentX = static_cast<float>(scaleX);
    fs.ScalePercentY = static_cast<float>(scaleY);
    fs.ScaleX = g.factorX;
    fs.ScaleY = g.factorY;
    fs.KeepResolution = g.keepResolution ? 1 : 0;
    fs.SourceResX = g.sourceResX;
    fs.SourceResY = g.sourceResY;
    fs.BitsPerSample = 1;
    fs.SourceWidth = static_cast<std::int32_t>(in.width);
    fs.SourceHeight = static_cast<std::int32_t>(in.height);
    fs.TargetWidth = static_cast<std::int32_t>(g.outW);
    fs.TargetHeight = static_cast<std::int32_t>(g.outH);
    SelectAutomaticParameters(fs);

    // The filter works in bands of at most `lineBuffers` output rows, fewer when the source
    // rows one band needs (one byte per pixel) would exceed the budget: wide plates and big
    // reductions would otherwise hold tens of megabytes of expanded rows. Bands are
    // seamless, so their height never changes the output; strips keep `lineBuffers` rows.
    const int filterRows = FilterBandRows(fs, lineBuffers, in.width);
    // The source row set holds the largest request of one band; the ring holds two.
    SourceRowSet sourceRows;
    BandRows destRows;
    const std::size_t requestRows = std::min<std::size_t>(
        static_cast<std::size_t>(std::max(MaxResampleRequestRows(fs, filterRows), 1)), in.height);
    try {
        sourceRows.Allocate(requestRows, in.width);
    } catch (const std::bad_alloc&) {
        return Fail(Format("Memory allocation error - %zu source rows of %u bytes", requestRows,
                           in.width));
    }

    const std::uint64_t total = static_cast<std::uint64_t>(in.rowBytes) * in.height;
    const bool cacheWhole = (total >> 20) <= static_cast<std::uint64_t>(
                                                 static_cast<std::uint32_t>(setup.cacheAllLimitMB));
    const std::size_t ringRows = RingRowsFor(lineBuffers, requestRows);
    reader.progress = setup.progress;
    bool outOfMemory = false;
    if (!StartSourceReader(cacheWhole ? SourceMode::cache : SourceMode::ring, std::move(input),
                           in.photometric, in.width, in.height, in.rowBytes, ringRows, &why,
                           &outOfMemory))
        return Fail(outOfMemory ? Format("Memory allocation error (1) - %.255s", why.c_str())
                                : "Unsupported TIFF layout - " + why);

    // Margins are only restored onto a kept page, so only then are they kept aside.
    const MarginSizes margins =
        MarginsInPixels(top, bottom, left, right, g.outputResX, g.outputResY);
    const bool anyMargin = margins.topRows || margins.bottomRows || margins.leftBytes ||
                           margins.rightBytes;
    if (keepSize && anyMargin &&
        !PrepareMarginStore(reader.margins, static_cast<std::uint32_t>(in.rowBytes), in.height,
                            margins.topRows, margins.bottomRows, margins.leftBytes,
                            margins.rightBytes))
        return Fail("Memory allocation error - margin buffers");

    if (!destRows.Allocate(static_cast<std::size_t>(filterRows), g.outW))
        return Fail(Format("Memory allocation error - %d output rows of %u bytes", filterRows,
                           g.outW));
    std::uint8_t** sourceTables[1] = {nullptr};

    AreaDesc dest = WholeImageArea(g.outW, g.outH, destRows.tables());
    const AreaDesc source = WholeImageArea(in.width, in.height, sourceTables);
    fs.DestDesc = dest;
    fs.SourceDesc = source;
    fs.SourceRowOffset = 0;

    PublishFilterSettings(fs);
    SetSourceReader(&GetData);
    SetRandomReverse(setup.randomReverse);
    int status = 0;
    if (!InitResampleFilter(dest, sourceRows, status))
        return Fail(WithFilterReason("Data estimation error"));

    workPath_ = workPath;
    output_.reset(OpenTiff(workPath, "wm"));
    if (!output_) return Fail(Format("WriteTIFF: Error opening %s for writing\n", workPath.c_str()));
    // Strip height of the working file. Bands are written as strips of `lineBuffers` rows. A
    // kept page is written row by row: straight into strips of `rowsPerStrip` rows when
    // nothing rewrites it afterwards (the same file a rewrite into such strips would give,
    // without decoding and encoding the whole plate a second time); otherwise in one tall
    // strip of `inW` rows, which the margin restoration or the strip rewrite replaces.
    const bool directStrips = keepSize && !anyMargin && setup.rowsPerStrip >= 1;
    const std::uint32_t stripRows =
        !keepSize ? static_cast<std::uint32_t>(lineBuffers)
        : directStrips ? static_cast<std::uint32_t>(setup.rowsPerStrip)
                       : in.width;
    if (!SetOutputTags(output_.get(), keepSize, in, g, stripRows))
        return Fail(Format("WriteTIFF: Error opening %s for writing\n", workPath.c_str()));

    WriterLayout layout;
    layout.keepSize = keepSize;
    layout.outW = g.outW;
    layout.outH = g.outH;
    layout.canvasW = in.width;
    layout.canvasH = in.height;
    layout.xOff = keepSize ? PlacementOffset(in.width, g.outW, setup.xReference) : 0;
    layout.yOff = keepSize ? PlacementOffset(in.height, g.outH, setup.yReference) : 0;
    layout.bandRows = filterRows;
    layout.stripRows = lineBuffers;
    ResampleWriter writer;
    if (!writer.Start(output_.get(), layout, &why)) return Fail(why);

    int first = 1;
    for (std::uint32_t y = 0; y < g.outH;) {
        // A band never crosses a strip boundary, so strips are completed band by band.
        const std::uint32_t stripLeft =
            static_cast<std::uint32_t>(lineBuffers) - y % static_cast<std::uint32_t>(lineBuffers);
        const int n = static_cast<int>(std::min<std::uint32_t>(
            {static_cast<std::uint32_t>(filterRows), stripLeft, g.outH - y}));
        dest.y = static_cast<std::int32_t>(y);
        dest.h = n;
        if (!DoFilterData(dest, status, sourceRows, first))
            return Fail(WithFilterReason(Format("Filtering error offset %u", y)));
        first = 0;
        if (!writer.WriteBand(destRows.rows(), n, y, reader.negative, workPath, &why))
            return Fail(why);
        y += static_cast<std::uint32_t>(n);
        fs.DestDesc.y = static_cast<std::int32_t>(y);
    }
    if (!writer.Finish(workPath, &why)) return Fail(why);

    FinishSourceReader();
    if (!TIFFWriteDirectory(output_.get()))
        return Fail(Format("WriteTIFF: Error writing %s line %u\n", workPath.c_str(), g.outH));
    output_.reset();
    ReleaseBandTables();
    ReleaseErrorRows();
    ClearCurrentFilterSettings();
    settings_.reset();
    ReportProgress(96);

    bool inStrips = !keepSize || directStrips;
    if (keepSize && anyMargin) {
        if (!ApplyMargins(workPath, setup.rowsPerStrip, reader.margins, &why)) {
            EngineLog("ERROR: Error applying margins");
            error_ = "Error applying margins";
        }
        inStrips = true;
    }
    reader.margins.Clear();
    ReportProgress(97);

    if (setup.rowsPerStrip != 0 && !inStrips) {
        EngineLog("INFO: Recompressing TIFF to multiple strips - %d lines per strip",
                  setup.rowsPerStrip);
        if (!RewriteStrips(workPath, setup.rowsPerStrip, nullptr, &why)) {
            EngineLog("ERROR: Error recompressing file to multiple strips");
            error_ = "Error recompressing file to multiple strips";
        }
    }
    ReportProgress(98);

    if (fs::FileExists(workPath))
        EngineLog("INFO: File %s is processed - ready to be moved", workPath.c_str());
    else
        EngineLog("ERROR: File %s is not present!", workPath.c_str());

    if (merge) {
        const std::string mergePath = workPath + ".tmp2";
        fs::DeleteFile(mergePath);
        EngineLog("INFO: Merging files %s and %s...", workPath.c_str(), backgroundPath);
        std::string mergeError;
        const bool merged = MergeBackground(workPath, backgroundPath, mergePath, "",
                                            CompressionForSetting(setup.compression), &mergeError);
        if (merged && !fs::MoveFileReplace(mergePath, workPath, &why))
            mergeError = Format("cannot move %s to %s: %s", mergePath.c_str(), workPath.c_str(),
                                why.c_str());
        if (!merged || !mergeError.empty()) {
            fs::DeleteFile(mergePath);
            // The specified text first, then why the merge failed.
            return Fail("Error merging background file - " +
                        (mergeError.empty() ? std::string("no reason given") : mergeError));
        }
    }

    ReportProgress(99);
    std::string deliveryError;
    if (!DeliverWorkingFile(workPath, finalPath, setup.useTempPath, setup.tempPath, deliveryError))
        return Fail(deliveryError);
    failed_ = false;
    ReportProgress(0);
    fs::DeleteFile(workPath);
    return 1;
}

}  // namespace

int RunResamleTIFF(const char* inputPath, char* outputPath, int keepSize, int keepResolution,
                   double resolutionX, double resolutionY, double scaleX, double scaleY,
                   double topMargin, double bottomMargin, double leftMargin, double rightMargin,
                   char* errorText, ProgressCallback progress, int mergeBackground,
                   const char* backgroundPath) noexcept {
    return RunExport(errorText, progress, [&](std::string& message) {
        if (inputPath == nullptr || outputPath == nullptr ||
            (mergeBackground && backgroundPath == nullptr)) {
            message = "Missing file name";
            return 0;
        }
        ResampleRun run;
        const int result = run.Run(inputPath, outputPath, keepSize != 0, keepResolution != 0,
                                   resolutionX, resolutionY, scaleX, scaleY, topMargin,
                                   bottomMargin, leftMargin, rightMargin, mergeBackground != 0,
                                   backgroundPath);
        message = run.error();
        return result;
    });
}

}  // namespace vestrel
