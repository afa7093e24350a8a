// The soak: plexivar --headless serving three hot folders while many slow writers fill them
// (pass-through plates and plates for the engine, mixed). At the end every file must be
// accounted for exactly once, none taken half-written, none processed twice, and the
// service must hold no more descriptors, threads or memory than after its first files.
//
// The size comes from the environment: PLEXIVAR_SOAK_FILES (default 150, the short run of
// the test suite; bench/soak.sh runs 1500) and PLEXIVAR_SOAK_WRITERS (default 16).
#include <gtest/gtest.h>
#include <signal.h>
#include <tiffio.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/soak/service_usage.h"
#include "tests/soak/slow_writer.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_plate.h"

namespace plexivar::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int EnvironmentNumber(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

// Three spoolers: hot1 passes everything through; hot2 has the engine scale magenta and
// passes black; hot3 has it scale cyan, passes yellow, and archives. Real stable time.
const char* const kIni =
    "[Setup]\r\nNumberOfSpoolers=3\r\nPollTime=0\r\nStableTime=1000\r\nCreateFolders=1\r\n"
    "UseTempPath=1\r\nDebug=1\r\nDebug2=1\r\n"
    "InputFolder1=hot1\r\nOutputFolder1=out1\r\nKeepResolution1=1\r\n"
    "InputFolder2=hot2\r\nOutputFolder2=out2\r\nEnableScaling2=1\r\nColorDetection2=1\r\n"
    "KeepResolution2=1\r\nKeepSize2=1\r\nScalingXM2=99.5\r\n"
    "InputFolder3=hot3\r\nOutputFolder3=out3\r\nEnableScaling3=1\r\nColorDetection3=1\r\n"
    "KeepResolution3=1\r\nKeepSize3=1\r\nScalingXC3=99.8\r\nScalingYC3=99.9\r\n"
    "MakeArchive3=1\r\nArchiveFolder3=archive3\r\n";

struct Expected {
    int spooler = 0;
    bool engine = false;
    const std::string* bytes = nullptr;
};

// Plates of a few sizes, as bytes.
std::vector<std::string> PlateTemplates(const TempDir& dir) {
    std::vector<std::string> plates;
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{400, 300}, {640, 480}, {96, 64}, {900, 700}}) {
        TestPlate plate;
        plate.width = static_cast<std::uint32_t>(w);
        plate.height = static_cast<std::uint32_t>(h);
        EXPECT_TRUE(WriteTestPlate(dir.File("template.tif"), plate));
        plates.push_back(TempDir::Read(dir.File("template.tif")));
    }
    return plates;
}

// The files of one batch: spoolers, colours and write patterns in turn.
std::vector<SlowFile> Batch(const TempDir& dir, const std::vector<std::string>& plates, int first,
                            int count, std::map<std::string, Expected>& expected) {
    static const char* const kColours[3][2] = {{"K", "K"}, {"M", "K"}, {"C", "Y"}};
    std::vector<SlowFile> files;
    for (int i = first; i < first + count; ++i) {
        const int spooler = i % 3;
        const char* colour = kColours[spooler][(i / 3) % 2];
        SlowFile f;
        f.folder = dir.File("hot" + std::to_string(spooler + 1));
        f.name = "plate" + std::to_string(i) + "-" + colour + ".tif";
        f.bytes = &plates[static_cast<std::size_t>(i) % plates.size()];
        f.pattern = static_cast<WritePattern>((i / 7) % 3);
        files.push_back(f);
        expected[f.name] = {spooler + 1, (spooler == 1 && *colour == 'M') || (spooler == 2 && *colour == 'C'), f.bytes};
    }
    return files;
}

// Job records by file name: "status;comment" of each record.
std::map<std::string, std::vector<std::string>> JobRecords(const TempDir& dir) {
    std::map<std::string, std::vector<std::string>> records;
    std::istringstream in(TempDir::Read(dir.File("temp/PlexivarJobs.csv")));
    for (std::string line; std::getline(in, line);) {
        // time;file;colour;status;seconds;comment
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ';');) f.push_back(field);
        if (f.size() >= 4) records[f[1]].push_back(f[3] + ";" + (f.size() > 5 ? f[5] : ""));
    }
    return records;
}

bool WaitFor(const std::function<bool()>& condition, int seconds) {
    const auto limit = Clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (Clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return true;
}

bool DecodesWhole(const std::string& path, std::uint32_t& width) {
    TIFFSetWarningHandler(nullptr);
    const std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "r"), TIFFClose);
    if (!tif) return false;
    std::uint32_t height = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(tif.get())));
    bool whole = true;
    for (std::uint32_t y = 0; y < height && whole; ++y)
        whole = TIFFReadScanline(tif.get(), row.data(), y, 0) == 1;
    return whole;
}

TEST(Soak, EveryFileOnceNoneHalfWrittenNoGrowth) {
    const int total = EnvironmentNumber("PLEXIVAR_SOAK_FILES", 150);
    const int writers = EnvironmentNumber("PLEXIVAR_SOAK_WRITERS", 16);
    const int warmUp = std::max(12, total / 10);
    TempDir dir;
    dir.Write("plexivar.ini", kIni);
    const std::vector<std::string> plates = PlateTemplates(dir);
    BackgroundChild service({PLEXIVAR_PATH, "--headless"}, dir.path(),
                            {"XDG_RUNTIME_DIR=" + dir.path(), "JOURNAL_STREAM", "NOTIFY_SOCKET"},
                            dir.File("service.out"));
    ASSERT_TRUE(service.started());
    ASSERT_TRUE(WaitFor([&] { return fs::is_directory(dir.File("hot3")); }, 30))
        << TempDir::Read(dir.File("service.out"));

    std::map<std::string, Expected> expected;
    const auto start = Clock::now();
    const auto runBatch = [&](int first, int count) {
        const std::vector<std::string> errors =
            WriteAll(Batch(dir, plates, first, count, expected), writers, WriterTiming{});
        EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
        EXPECT_TRUE(WaitFor([&] { return JobRecords(dir).size() >= expected.size(); }, 600))
            << JobRecords(dir).size() << " of " << expected.size() << " files done";
        // A few idle passes, so that nothing of the last job is still in flight.
        std::this_thread::sleep_for(std::chrono::seconds(3));
        return ServiceUsage::Of(service.pid());
    };
    const ServiceUsage warm = runBatch(0, warmUp);
    const ServiceUsage end = runBatch(warmUp, total - warmUp);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(service.Stop(SIGTERM), 0);

    std::printf("soak: %d files by %d writers in %.0f s; descriptors %d -> %d, threads %d -> %d, "
                "resident %ld -> %ld KiB\n",
                total, writers, seconds, warm.descriptors, end.descriptors, warm.threads,
                end.threads, warm.residentKiB, end.residentKiB);
    EXPECT_EQ(end.descriptors, warm.descriptors);
    EXPECT_EQ(end.threads, warm.threads);
#if !defined(__SANITIZE_ADDRESS__)
    // (AddressSanitizer keeps freed memory in quarantine: its resident size says nothing.)
    EXPECT_LT(end.residentKiB - warm.residentKiB, 8 * 1024 + warm.residentKiB / 20);
#endif

    // Every file exactly once: one job record, "Done", its plate complete where it belongs.
    const auto records = JobRecords(dir);
    EXPECT_EQ(records.size(), expected.size());
    for (const auto& [name, e] : expected) {
        const auto r = records.find(name);
        ASSERT_NE(r, records.end()) << name;
        ASSERT_EQ(r->second.size(), 1u) << name << " processed " << r->second.size() << " times";
        EXPECT_EQ(r->second.front().rfind("Done;", 0), 0u) << name << ": " << r->second.front();
        const std::string out = dir.File("out" + std::to_string(e.spooler) + "/" + name);
        if (e.engine) {
            std::uint32_t width = 0;
            EXPECT_TRUE(DecodesWhole(out, width)) << out;
        } else {
            EXPECT_TRUE(TempDir::Read(out) == *e.bytes) << out << " is not the plate written";
        }
        if (e.spooler == 3) {
            EXPECT_TRUE(TempDir::Read(dir.File("archive3/" + name)) == *e.bytes) << name;
        }
    }
    // Nothing left behind: hot folders empty (no error folder), no staged or working files.
    for (const char* folder : {"hot1", "hot2", "hot3", "out1/tmp", "out2/tmp", "out3/tmp"}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir.File(folder), ec))
            ADD_FAILURE() << "left in " << folder << ": " << entry.path().filename();
    }
    std::size_t delivered = 0;
    for (const char* folder : {"out1", "out2", "out3"})
        for (const auto& entry : fs::directory_iterator(dir.File(folder)))
            delivered += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(delivered, expected.size());
}

}  // namespace
}  // namespace plexivar::testing
