#include "engine/io/source_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <thread>
#include <vector>

#include "engine/api/engine_setup.h"
#include "tests/engine/test_tiff_image.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

using testing::ExpectedSamples;
using testing::PatternRow;
using testing::TestImage;

std::map<std::uint32_t, int> g_reads;  // file row -> times read
std::uint32_t g_failRow = UINT32_MAX;
std::vector<int> g_progress;

bool CountingReader(SourceReader& reader, std::uint8_t* buffer, std::uint32_t row) {
    if (row == g_failRow)
        return false;
    ++g_reads[row];
    return ReadFileRow(reader, buffer, row);
}

int RecordProgress(int percent) {
    g_progress.push_back(percent);
    return 0;
}

// One filter-style request: a row table of h entries over the caller's row set.
struct Request {
    std::vector<std::uint8_t*> table;
    std::uint8_t** tables[1] = {nullptr};
    AreaDesc area;

    Request(int y, int h) : table(static_cast<std::size_t>(h), nullptr) {
        tables[0] = table.data();
        area.present = 1;
        area.y = y;
        area.h = h;
        area.rowTables = tables;
    }
};

class SourceReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_reads.clear();
        g_failRow = UINT32_MAX;
        g_progress.clear();
        ProcessSetup().progress = &RecordProgress;
        ActiveSourceReader().margins.Clear();
        ActiveSourceReader().readScanline = &CountingReader;
    }
    void TearDown() override {
        FinishSourceReader();
        ActiveSourceReader().readScanline = &ReadFileRow;
        ActiveSourceReader().margins.Clear();
        ProcessSetup().progress = nullptr;
    }

    // Writes an image whose rows come from `rowFn` and starts the reader on it.
    void Start(SourceMode mode, const TestImage& image, const testing::RowBytesFn& rowFn,
               std::size_t ringRows = 0) {
        const std::string path = dir_.File("in.tif");
        ASSERT_TRUE(testing::WriteTestTiff(path, image, rowFn));
        UniqueTiff tif = testing::OpenTestTiff(path);
        ASSERT_TRUE(tif);
        std::string error;
        ASSERT_TRUE(StartSourceReader(mode, std::move(tif), image.photometric, image.width,
                                      image.height, (image.width + 7) / 8, ringRows, &error))
            << error;
        rows_.Allocate(rowSetRows_, image.width + 8);
    }

    void ExpectRow(const Request& req, int k, const std::vector<std::uint8_t>& packed,
                   std::uint32_t width) {
        const std::vector<std::uint8_t> want = ExpectedSamples(packed, width);
        ASSERT_EQ(req.table[static_cast<std::size_t>(k)], rows_.Row(static_cast<std::size_t>(k)));
        const std::vector<std::uint8_t> got(req.table[static_cast<std::size_t>(k)],
                                            req.table[static_cast<std::size_t>(k)] + width);
        EXPECT_EQ(got, want) << "request row " << k;
    }

    plexivar::testing::TempDir dir_;
    SourceRowSet rows_;
    std::size_t rowSetRows_ = 64;
};

std::vector<std::uint8_t> Inverted(std::vector<std::uint8_t> bytes) {
    for (auto& b : bytes) b = static_cast<std::uint8_t>(~b);
    return bytes;
}

TEST_F(SourceReaderTest, RingReadsEveryFileRowOnceWithOverlappingRequests) {
    const TestImage image{64, 5000, PHOTOMETRIC_MINISWHITE, COMPRESSION_PACKBITS, 64};
    auto rowFn = [&](std::uint32_t r) { return PatternRow(r, image.width); };
    rowSetRows_ = 1100;
    Start(SourceMode::ring, image, rowFn, 4096);

    for (int pass = 0; pass < 2; ++pass) {
        g_reads.clear();
        for (int y = 0; y < 5000; y += 1024) {
            const int h = std::min(1100, 5000 - y);
            Request req(y, h);
            ASSERT_EQ(GetData(req.area, rows_, y == 0 ? 1 : 0), 1);
            for (int k : {0, h / 2, h - 1})
                ExpectRow(req, k, rowFn(static_cast<std::uint32_t>(y + k)), image.width);
        }
        ASSERT_EQ(g_reads.size(), 5000u) << "pass " << pass;
        for (const auto& [row, count] : g_reads) ASSERT_EQ(count, 1) << "row " << row;
    }
    EXPECT_EQ(g_progress.front(), 0);
    EXPECT_EQ(g_progress[1], 1024 * 100 / 5000);
}

TEST_F(SourceReaderTest, RingServesRequestsThatJumpBackOrPastTheImage) {
    const TestImage image{40, 300, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE, 16};
    auto rowFn = [&](std::uint32_t r) { return PatternRow(r, image.width); };
    rowSetRows_ = 50;
    Start(SourceMode::ring, image, rowFn, 100);

    Request a(0, 50);
    ASSERT_EQ(GetData(a.area, rows_, 1), 1);
    Request b(200, 50);  // skips rows 100..199
    ASSERT_EQ(GetData(b.area, rows_, 0), 1);
    ExpectRow(b, 0, rowFn(200), image.width);
    Request back(10, 20);  // moves back: the ring restarts there
    ASSERT_EQ(GetData(back.area, rows_, 0), 1);
    ExpectRow(back, 19, rowFn(29), image.width);
    Request tail(280, 50);  // rows 300..329 lie below the image: they repeat row 299
    ASSERT_EQ(GetData(tail.area, rows_, 0), 1);
    ExpectRow(tail, 19, rowFn(299), image.width);
    ExpectRow(tail, 49, rowFn(299), image.width);
}

TEST_F(SourceReaderTest, RequestLargerThanRowSetOrRingFails) {
    const TestImage image{16, 100};
    auto rowFn = [&](std::uint32_t r) { return PatternRow(r, image.width); };
    rowSetRows_ = 30;
    Start(SourceMode::ring, image, rowFn, 20);
    Request tooManyForRows(0, 31);
    EXPECT_EQ(GetData(tooManyForRows.area, rows_, 1), 0);

    Start(SourceMode::ring, image, rowFn, 20);
    Request tooManyForRing(0, 25);
    EXPECT_EQ(GetData(tooManyForRing.area, rows_, 1), 0);
    EXPECT_FALSE(ActiveSourceReader().input);
}

TEST_F(SourceReaderTest, ReadErrorOnRow500ReturnsZeroAndClosesInput) {
    const TestImage image{32, 800, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE, 32};
    auto rowFn = [&](std::uint32_t r) { return PatternRow(r, image.width); };
    for (SourceMode mode : {SourceMode::cache, SourceMode::ring}) {
        g_failRow = 500;
        rowSetRows_ = 300;
        Start(mode, image, rowFn, 600);
        bool failed = false;
        for (int y = 0; y < 800 && !failed; y += 256) {
            Request req(y, std::min(300, 800 - y));
            failed = GetData(req.area, rows_, y == 0 ? 1 : 0) == 0;
        }
        EXPECT_TRUE(failed);
        EXPECT_FALSE(ActiveSourceReader().input);
        // Later requests fail too instead of serving stale rows.
        Request again(512, 10);
        EXPECT_EQ(GetData(again.area, rows_, 0), 0);
    }
}

TEST_F(SourceReaderTest, AbsentRequestReturnsOneAndTouchesNothing) {
    const TestImage image{16, 20};
    Start(
        SourceMode::ring, image, [&](std::uint32_t r) { return PatternRow(r, 16); }, 64);
    Request req(0, 5);
    req.area.present = 0;
    EXPECT_EQ(GetData(req.area, rows_, 1), 1);
    for (auto* p : req.table) EXPECT_EQ(p, nullptr);
    EXPECT_TRUE(g_progress.empty());
    EXPECT_TRUE(g_reads.empty());
}

struct PolarityCase {
    const char* name;
    std::uint16_t photometric;
    std::uint8_t row0Ends;   // file bytes at both ends of row 0
    bool negative;           // detected as a negative
    bool filterSeesInverse;  // the filter's samples are the inverse of the file's bits
    bool marginsInverse;     // the captured margins are the inverse of the file's bytes
};

class PolarityTest : public SourceReaderTest,
                     public ::testing::WithParamInterface<std::tuple<PolarityCase, SourceMode>> {};

TEST_P(PolarityTest, NormalisesToPositiveAndKeepsMarginsInOutputPolarity) {
    const auto& [c, mode] = GetParam();
    const TestImage image{48, 40, c.photometric, COMPRESSION_CCITTFAX4, 40};
    auto rowFn = [&](std::uint32_t r) {
        std::vector<std::uint8_t> bytes = PatternRow(r, image.width);
        if (r == 0)
            bytes.front() = bytes.back() = c.row0Ends;
        return bytes;
    };
    rowSetRows_ = 40;
    Start(mode, image, rowFn, 80);
    ASSERT_TRUE(PrepareMarginStore(ActiveSourceReader().margins, 6, 40, 3, 2, 1, 2));

    for (int y : {0, 15, 30}) {
        Request req(y, 10);
        ASSERT_EQ(GetData(req.area, rows_, y == 0 ? 1 : 0), 1);
        for (int k = 0; k < 10; ++k) {
            const auto file = rowFn(static_cast<std::uint32_t>(y + k));
            ExpectRow(req, k, c.filterSeesInverse ? Inverted(file) : file, image.width);
        }
    }
    EXPECT_EQ(ActiveSourceReader().negative, c.negative);

    const MarginStore& m = ActiveSourceReader().margins;
    auto want = [&](std::uint32_t r) { return c.marginsInverse ? Inverted(rowFn(r)) : rowFn(r); };
    for (std::uint32_t r = 0; r < 3; ++r)
        EXPECT_EQ(std::vector<std::uint8_t>(m.top.begin() + r * 6, m.top.begin() + r * 6 + 6),
                  want(r));
    for (std::uint32_t r = 0; r < 2; ++r)
        EXPECT_EQ(std::vector<std::uint8_t>(m.bottom.begin() + r * 6, m.bottom.begin() + r * 6 + 6),
                  want(38 + r));
    EXPECT_EQ(m.bottomSlot, 2u);
    for (std::uint32_t r : {0u, 7u, 39u}) {
        EXPECT_EQ(m.left[r], want(r)[0]) << "row " << r;
        EXPECT_EQ(m.right[r * 2], want(r)[4]) << "row " << r;
        EXPECT_EQ(m.right[r * 2 + 1], want(r)[5]) << "row " << r;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PolarityTest,
    ::testing::Combine(
        ::testing::Values(
            PolarityCase{"Positive", PHOTOMETRIC_MINISWHITE, 0x12, false, false, false},
            PolarityCase{"Negative", PHOTOMETRIC_MINISWHITE, 0xFF, true, true, false},
            PolarityCase{"MinIsBlack", PHOTOMETRIC_MINISBLACK, 0xFF, false, true, true},
            // Black after the inversion: a negative too, inverted twice.
            PolarityCase{"MinIsBlackNegative", PHOTOMETRIC_MINISBLACK, 0x00, true, false, true}),
        ::testing::Values(SourceMode::cache, SourceMode::ring)),
    [](const auto& param) {
        return std::string(std::get<0>(param.param).name) +
               (std::get<1>(param.param) == SourceMode::cache ? "Cache" : "Ring");
    });

TEST_F(SourceReaderTest, CacheReadsOncePerFirstAndServesPastTheEdge) {
    const TestImage image{24, 50};
    auto rowFn = [&](std::uint32_t r) { return PatternRow(r, image.width); };
    Start(SourceMode::cache, image, rowFn);
    Request a(0, 20);
    ASSERT_EQ(GetData(a.area, rows_, 1), 1);
    Request b(40, 20);  // rows 50..59 repeat row 49
    ASSERT_EQ(GetData(b.area, rows_, 0), 1);
    ExpectRow(b, 9, rowFn(49), image.width);
    ExpectRow(b, 19, rowFn(49), image.width);
    EXPECT_EQ(g_reads.size(), 50u);
    for (const auto& [row, count] : g_reads) EXPECT_EQ(count, 1);
    ASSERT_EQ(GetData(a.area, rows_, 1), 1);  // a new image pass reads again
    EXPECT_EQ(g_reads[0], 2);
}

// A request that does not fit the row set fails and closes the input; in cache mode the
// decoder thread may be reading that input at that very moment, so it is stopped first.
std::atomic<bool> g_decoderInRow{false};
std::atomic<bool> g_callerReturned{false};
std::atomic<bool> g_inputStayedOpen{false};

bool SlowRow100(SourceReader& reader, std::uint8_t* buffer, std::uint32_t row) {
    if (row != 100)
        return ReadFileRow(reader, buffer, row);
    TIFF* const input = reader.input.get();
    g_decoderInRow = true;
    // Long enough for the failing request to run; a caller that waits for the decoder
    // first cannot return before this row is done.
    for (int i = 0; i < 300 && !g_callerReturned; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    g_inputStayedOpen = reader.input.get() == input;
    return g_inputStayedOpen && ReadFileRow(reader, buffer, row);
}

TEST_F(SourceReaderTest, OversizeRequestStopsTheDecoderBeforeClosingTheInput) {
    const TestImage image{32, 800, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE, 32};
    g_decoderInRow = g_callerReturned = g_inputStayedOpen = false;
    rowSetRows_ = 16;
    Start(SourceMode::cache, image, [&](std::uint32_t r) { return PatternRow(r, image.width); });
    ActiveSourceReader().readScanline = &SlowRow100;
    Request first(0, 10);
    ASSERT_EQ(GetData(first.area, rows_, 1), 1);
    while (!g_decoderInRow) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Request tooLarge(10, 17);
    EXPECT_EQ(GetData(tooLarge.area, rows_, 0), 0);
    g_callerReturned = true;
    EXPECT_FALSE(ActiveSourceReader().input);
    FinishSourceReader();
    EXPECT_TRUE(g_inputStayedOpen) << "the input was closed under the decoder";
}

TEST_F(SourceReaderTest, PreloadedServesTheBufferAsItIs) {
    SourceReader& r = ActiveSourceReader();
    ASSERT_TRUE(r.readBuffer.Reserve(3 * 2));
    const std::uint8_t image[6] = {0xFF, 0xFF, 0x0F, 0xF0, 0xFF, 0xFF};
    std::copy(image, image + 6, r.readBuffer.data());
    // Photometric 1 and black row ends: nothing is inverted, nothing read.
    ASSERT_TRUE(StartSourceReader(SourceMode::preloaded, nullptr, 1, 16, 3, 2, 0, nullptr));
    rows_.Allocate(3, 16);
    Request req(0, 3);
    ASSERT_EQ(GetData(req.area, rows_, 1), 1);
    EXPECT_EQ(req.table[1][3], 0x00);
    EXPECT_EQ(req.table[1][4], 0xFF);
    EXPECT_EQ(req.table[0][0], 0xFF);
    EXPECT_FALSE(r.negative);
}

TEST_F(SourceReaderTest, StartRefusesInconsistentGeometry) {
    std::string error;
    EXPECT_FALSE(StartSourceReader(SourceMode::cache, nullptr, 0, 16, 4, 2, 0, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(StartSourceReader(SourceMode::preloaded, nullptr, 0, 0, 4, 2, 0, &error));
    EXPECT_FALSE(StartSourceReader(SourceMode::preloaded, nullptr, 0, 17, 4, 2, 0, &error));
    ActiveSourceReader().readBuffer.Release();
    EXPECT_FALSE(StartSourceReader(SourceMode::preloaded, nullptr, 0, 16, 4, 2, 0, &error));
}

TEST(MarginStoreTest, MarginsLargerThanTheImageAreLimitedToIt) {
    MarginStore m;
    ASSERT_TRUE(PrepareMarginStore(m, 4, 10, 50, 11, 9, 2));
    EXPECT_EQ(m.topRows, 10u);
    EXPECT_EQ(m.bottomRows, 10u);
    EXPECT_EQ(m.leftBytes, 4u);
    EXPECT_EQ(m.top.size(), 40u);
    EXPECT_EQ(m.left.size(), 40u);
    EXPECT_EQ(m.right.size(), 20u);
}

// Replays the filter's request arithmetic (band mapped into the source, widened by the
// averaging margin, edges rounded) and checks every request fits the sizes the pipeline
// allocates from RequiredSourceRows, and two of them fit the ring.
TEST(RequiredSourceRowsTest, EveryFilterRequestFits) {
    for (float sy : {0.37f, 0.94488192f, 1.0f, 2.0f, 2.5f, 4.3f, 7.9f}) {
        for (int n : {1, 2, 3, 5, 8}) {
            const int lineBuffers = 100;
            const int v = n / 2 + 1;
            const float oy = n % 2 == 0 ? -0.5f : 0.0f;
            const std::size_t need = RequiredSourceRows(lineBuffers, sy, n);
            const int height = 100000;
            for (int y = 0; y < 5000; y += lineBuffers) {
                const int first = std::clamp(
                    static_cast<int>(static_cast<float>(y) * sy + oy + 0.5f) - v, 0, height - 1);
                const int end = std::clamp(
                    static_cast<int>(static_cast<float>(y + lineBuffers) * sy + oy + 0.5f) + v, 0,
                    height);
                ASSERT_LE(static_cast<std::size_t>(end - first), need) << "sy " << sy << " n " << n;
            }
            EXPECT_GE(RingRowsFor(lineBuffers, need), 2 * need);
        }
    }
    EXPECT_EQ(RingRowsFor(1024, 1100), 4096u);
}

}  // namespace
}  // namespace vestrel
