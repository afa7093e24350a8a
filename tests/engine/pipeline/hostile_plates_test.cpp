// Hostile and damaged plates: every class of file that once kept the engine busy for hours,
// reserved gigabytes or flooded the journal, built here byte by byte, through the pipeline
// that suffered from it. Each must end within a second and a few MiB, with a message that
// says what is wrong. Each case runs in a child process, so that its time and peak memory
// are its own (and a regression cannot hang or exhaust the test run).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/pipeline/dot_gain_tiff.h"
#include "engine/pipeline/resample_tiff.h"
#include "engine/pipeline/simple_resample_tiff.h"
#include "tests/engine/engine_test_support.h"
#include "tests/engine/hand_made_tiff.h"

namespace vestrel {
namespace {

using plexivar::testing::TempDir;
using testing::HandMadeTiff;

enum class Pipeline { resample, dotGain, simple };
// Where the message must appear: the caller's errorText, the engine log (SimpleResamleTIFF
// has no errorText) or standard error (TIFF library warnings).
enum class Where { errorText, engineLog, standardError };

struct Hostile {
    const char* name;
    std::string file;
    Pipeline pipeline;
    Where where;
    std::string message;
    double resolution = 600;  // asked of ResamleTIFF
    double scale = 100;
    bool keepResolution = false;
};

// G4 data that ends after 80 white rows: the library warns twice for every row after that.
std::string ShortGroup4() { return std::string(10, '\xFF'); }

HandMadeTiff Fax(std::uint32_t width, std::uint32_t height) {
    return HandMadeTiff(width, height, COMPRESSION_CCITTFAX4, height, {ShortGroup4()});
}

std::vector<Hostile> HostileCases() {
    std::vector<Hostile> cases;
    const auto add = [&](const char* name, const HandMadeTiff& tiff, Pipeline pipeline,
                         Where where, std::string message) {
        cases.push_back({name, tiff.Bytes(), pipeline, where, std::move(message)});
        return &cases.back();
    };
    // Sizes: refused on the tags, before a buffer the size of a row or the image is made.
    for (const Pipeline p : {Pipeline::resample, Pipeline::dotGain, Pipeline::simple}) {
        const Where w = p == Pipeline::simple ? Where::engineLog : Where::errorText;
        add("width 4294967295", Fax(4294967295u, 1), p, w,
            "Image of 4294967295 x 1 pixels is too large");
        add("height 4294967295", Fax(8, 4294967295u), p, w,
            "Image of 8 x 4294967295 pixels is too large");
    }
    add("4294967288 x 8", Fax(4294967288u, 8), Pipeline::resample, Where::errorText,
        "Image of 4294967288 x 8 pixels is too large");
    // Resolutions: the output would have hundreds of millions of rows.
    HandMadeTiff fax = Fax(1728, 2200);
    fax.Short(TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH)
        .Rational(TIFFTAG_XRESOLUTION, 204, 1)
        .Rational(TIFFTAG_YRESOLUTION, 52, 10000);
    add("fax at 0.0052 dpi", fax, Pipeline::resample, Where::errorText,
        "Implausible resolution 0.0052 dpi in the file");
    add("fax at 0.0052 dpi", fax, Pipeline::dotGain, Where::errorText,
        "Implausible resolution 0.0052 dpi in the file");
    HandMadeTiff perCm = Fax(1728, 2200);
    perCm.Short(TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER)
        .Rational(TIFFTAG_XRESOLUTION, 1, 1)
        .Rational(TIFFTAG_YRESOLUTION, 1, 1);
    add("1 per centimetre", perCm, Pipeline::resample, Where::errorText,
        "Implausible resolution 2.54 dpi in the file");
    HandMadeTiff tiny = Fax(1728, 2200);
    tiny.Rational(TIFFTAG_XRESOLUTION, 1, 4294967295u).Rational(TIFFTAG_YRESOLUTION, 1, 4294967295u);
    add("1/4294967295 dpi", tiny, Pipeline::resample, Where::errorText,
        "Implausible resolution 2.32831e-10 dpi in the file");
    // Plausible input, absurd output.
    HandMadeTiff large = Fax(20000, 25000);
    large.Rational(TIFFTAG_XRESOLUTION, 300, 1).Rational(TIFFTAG_YRESOLUTION, 300, 1);
    add("300 to 4000 dpi", large, Pipeline::resample, Where::errorText,
        "Output of 266666 x 333333 pixels is too large")
        ->resolution = 4000;
    HandMadeTiff plate = Fax(1000, 1000);
    plate.Rational(TIFFTAG_XRESOLUTION, 600, 1).Rational(TIFFTAG_YRESOLUTION, 600, 1);
    Hostile* enlarge = add("scale 10000 %", plate, Pipeline::resample, Where::errorText,
                           "Implausible scale factor 0.01 x 0.01");
    enlarge->scale = 10000;
    enlarge->keepResolution = true;
    // What the other pipelines refuse, SimpleResamleTIFF refuses too.
    HandMadeTiff palette = Fax(64, 100);
    palette.Short(TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE)
        .Short(TIFFTAG_COLORMAP, {0, 65535, 0, 65535, 0, 65535});
    add("palette", palette, Pipeline::simple, Where::engineLog,
        "Unsupported photometric setting 3 - a palette");
    add("palette", palette, Pipeline::resample, Where::errorText,
        "Unsupported photometric setting 3 - a palette");
    HandMadeTiff separated = Fax(64, 100);
    separated.Short(TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
    add("photometric 5", separated, Pipeline::simple, Where::engineLog,
        "Unsupported photometric setting 5 - a separated (CMYK) image");
    // A warning per row: each distinct warning once, with the count of its repeats.
    add("warning per row", Fax(64, 5000), Pipeline::resample, Where::standardError,
        "Premature EOF at line 80 of strip 0 (x 0) [repeated 4919 more times in ");
    // A truncated file: the failing input row is named after the specified message.
    HandMadeTiff truncated(64, 100, COMPRESSION_NONE, 10,
                           std::vector<std::string>(5, std::string(80, '\x55')));
    truncated.MissingStrips(5, 80);
    add("truncated", truncated, Pipeline::resample, Where::errorText,
        "Filtering error offset 0 - read error at input row 50");
    return cases;
}

const char* PipelineName(Pipeline p) {
    return p == Pipeline::resample ? "ResamleTIFF" : p == Pipeline::dotGain ? "DotGainTIFF"
                                                                           : "SimpleResamleTIFF";
}

long ResidentKiB() {
    long pages = 0, resident = 0;
    std::sscanf(TempDir::Read("/proc/self/statm").c_str(), "%ld %ld", &pages, &resident);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class HostilePlatesTest : public testing::EngineScratchTest {
protected:
    void SetUp() override { StartEngine("[Setup]\r\nUseTempPath=0\r\n", 1024); }

    // Runs the case in a child process; its standard error goes to `errPath`, and it writes
    // the growth of its resident memory (KiB) and its errorText to "case.result".
    void RunInChild(const Hostile& c, const std::string& in, const std::string& errPath) {
        const long startKiB = ResidentKiB();
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ::dup2(err, STDERR_FILENO);
        PrepareCall(dir_.File("out.tif"));
        switch (c.pipeline) {
            case Pipeline::resample:
                RunResamleTIFF(in.c_str(), outputPath_.data(), 0, c.keepResolution ? 1 : 0,
                               c.resolution, c.resolution, c.scale, c.scale, 0, 0, 0, 0,
                               errorText_.data(), nullptr, 0, "");
                break;
            case Pipeline::dotGain:
                RunDotGainTIFF(in.c_str(), "Black", outputPath_.data(), errorText_.data(),
                               nullptr, [](int) {});
                break;
            case Pipeline::simple:
                RunSimpleResamleTIFF(in.c_str(), dir_.File("out.tif").c_str(), 0, 0, 90);
                break;
        }
        std::fflush(stderr);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        dir_.Write("case.result", std::to_string(usage.ru_maxrss - startKiB) + "\n" + ErrorText());
    }
};

TEST_F(HostilePlatesTest, EachIsRefusedOrBoundedWithinASecondAndAFewMiB) {
    int i = 0;
    for (const Hostile& c : HostileCases()) {
        SCOPED_TRACE(std::string(c.name) + " through " + PipelineName(c.pipeline));
        const std::string in = dir_.Write("hostile-" + std::to_string(i) + ".tif", c.file);
        const std::string errPath = dir_.File("case.err");
        const std::string resultPath = dir_.File("case.result");
        ::unlink(resultPath.c_str());
        ::unlink(dir_.File("Plexivar.log").c_str());
        ++i;

        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RunInChild(c, in, errPath);
            std::_Exit(0);
        }
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(5)) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 1.0);
        if (!WIFEXITED(status)) {
            ADD_FAILURE() << "killed, or still running after " << seconds << " s";
            continue;
        }

        const std::string result = TempDir::Read(resultPath);
        const std::size_t lineEnd = result.find('\n');
        if (lineEnd == std::string::npos) {
            ADD_FAILURE() << "the child wrote no result";
            continue;
        }
        const long grownKiB = std::stol(result.substr(0, lineEnd));
        const std::string errorText = result.substr(lineEnd + 1);
        EXPECT_GE(grownKiB, 0);
        EXPECT_LT(grownKiB, 8 * 1024) << "peak memory grew by " << grownKiB << " KiB";

        const std::string standardError = TempDir::Read(errPath);
        // TIFF library messages are bounded whatever the file: a few lines at most.
        EXPECT_LT(standardError.size(), 2048u) << standardError.substr(0, 400);
        const std::string text = c.where == Where::errorText   ? errorText
                                 : c.where == Where::engineLog ? TempDir::Read(dir_.File("Plexivar.log"))
                                                               : standardError;
        EXPECT_NE(text.find(c.message), std::string::npos) << text.substr(0, 400);
        if (c.where == Where::standardError) {
            // The first occurrence, then the count; nothing twice.
            const std::string first = c.message.substr(0, c.message.find(" [repeated"));
            std::size_t seen = 0;
            for (std::size_t p = 0; (p = text.find(first, p)) != std::string::npos; ++p) ++seen;
            EXPECT_EQ(seen, 2u) << text;
        }
    }
}

}  // namespace
}  // namespace vestrel
