// plexivar --headless with LogToDatabase=1 against the test database server: the program
// as plant IT runs it, reporting real jobs.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

#include "db/database_manager.h"
#include "tests/support/child_process.h"
#include "tests/db/test_database.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_plate.h"

namespace plexivar::testing {
namespace {

// One spooler: hot/ to plates/, black plates scaled to 99.5 % by the engine (plates
// without an image description count as black).
const char* const kSpooler =
    "[Setup]\r\nPollTime=0\r\nStableTime=200\r\nCreateFolders=1\r\nDebug=1\r\nDebug2=1\r\n"
    "InputFolder1=hot\r\nOutputFolder1=plates\r\nEnableScaling1=1\r\nColorDetection1=2\r\n"
    "KeepResolution1=1\r\nKeepSize1=1\r\nScalingXK1=99.5\r\nLogToDatabase=1\r\n";

std::string Credentials(const TestDatabase& db) {
    return "DSN=" + db.dsn + "\r\nDSNuser=" + db.user + "\r\nDSNpw=" + db.password + "\r\n";
}

// plexivar --headless in `dir`, with a runtime folder of its own (its single-instance
// lock is the test's own) and its output in dir/service.out.
BackgroundChild StartHeadless(const TempDir& dir) {
    return BackgroundChild({PLEXIVAR_PATH, "--headless"}, dir.path(),
                           {"XDG_RUNTIME_DIR=" + dir.path(), "JOURNAL_STREAM", "NOTIFY_SOCKET"},
                           dir.File("service.out"));
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Whether the service has started its spoolers and created their hot folder.
bool Serving(const TempDir& dir) {
    return Contains(TempDir::Read(dir.File("service.out")), "Started") &&
           std::filesystem::is_directory(dir.File("hot"));
}

bool WaitFor(const std::function<bool()>& condition, int seconds = 30) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

TEST(HeadlessDatabase, EveryJobIsReportedAsItEnded) {
    PLEXIVAR_REQUIRE_TEST_SERVER(server);
    const TestDatabase db = NewTestDatabase(*server);
    db.Sql("INSERT INTO LocationNames VALUES (4, 'Hall A'), (5, 'Hall B');"
           "INSERT INTO PageTable (FlatSeparation) VALUES (1183407), (2000001)");
    TempDir dir;
    dir.Write("plexivar.ini", std::string(kSpooler) + Credentials(db) +
                                  "UpdateLog=1\r\nUpdateFlatPagetable=1\r\nUpdateExternalStatus=1\r\n"
                                  "LocationName=hall b\r\n");
    BackgroundChild service = StartHeadless(dir);
    ASSERT_TRUE(WaitFor([&] { return Serving(dir); })) << TempDir::Read(dir.File("service.out"));

    // A plate that goes well (a quote in its name), one the engine refuses, and one whose
    // name carries no usable number.
    ASSERT_TRUE(WriteTestPlate(dir.File("hot/O'Hara-1183407.tif")));
    dir.Write("hot/bad-2000001.tif", "not a TIFF file");
    ASSERT_TRUE(WriteTestPlate(dir.File("hot/plain-1.tif")));
    ASSERT_TRUE(WaitFor([&] { return db.Sql("SELECT count(*) FROM Log") == "3"; }))
        << TempDir::Read(dir.File("service.out"));
    EXPECT_EQ(service.Stop(SIGTERM), 0);

    EXPECT_EQ(db.Sql("SELECT ProcessKind, HostName, ProcessText, LocationID, StateA, StateB "
                     "FROM Processes"),
              "65|" + db::LocalHostName() + "|Fanout|5|0|0");
    EXPECT_EQ(db.Sql("SELECT FlatSeparation, StatusCode FROM FlatPageStatus "
                     "ORDER BY FlatSeparation, Seq"),
              "1183407|159\n1183407|150\n2000001|159\n2000001|156");
    EXPECT_EQ(db.Sql("SELECT EventCode, FlatSeparation, FileName, Message = '' FROM Log "
                     "ORDER BY FlatSeparation"),
              "150|1|plain-1.tif|t\n150|1183407|O'Hara-1183407.tif|t\n"
              "156|2000001|bad-2000001.tif|f");
    // The failed plate carries status 46 and the start of the job's error text.
    EXPECT_EQ(db.Sql("SELECT p.FlatSeparation, p.Status, p.ExternalStatus, "
                     "p.LastError <> '' AND p.LastError = left(l.Message, 99) FROM PageTable p LEFT JOIN Log l "
                     "USING (FlatSeparation) ORDER BY p.FlatSeparation"),
              "1183407|0|6|f\n2000001|46|7|t");
    EXPECT_FALSE(TempDir::Read(dir.File("plates/O'Hara-1183407.tif")).empty());
}

TEST(HeadlessDatabase, AnEmptyUserStopsStartUpBeforeTheSpoolersStart) {
    TempDir dir;
    dir.Write("plexivar.ini", std::string(kSpooler) + "DSNuser=\r\n");
    BackgroundChild service = StartHeadless(dir);
    EXPECT_EQ(service.Stop(0), 1);
    const std::string out = TempDir::Read(dir.File("service.out"));
    EXPECT_TRUE(Contains(out, "Error: Database error - Empty DSN or username not allowed")) << out;
    EXPECT_FALSE(Contains(out, "Started")) << out;
    EXPECT_TRUE(Contains(TempDir::Read(dir.File("temp/Plexivar.log")),
                         "ERROR: Database error - Empty DSN or username not allowed"));
}

// Uses a cluster of its own: it stops the server while the service runs a job.
TEST(HeadlessDatabase, FilesKeepFlowingWhileTheServerIsAway) {
    PLEXIVAR_START_PRIVATE_TEST_SERVER(server);
    std::string why;
    const TestDatabase db = NewTestDatabase(*server);
    TempDir dir;
    dir.Write("plexivar.ini", std::string(kSpooler) + Credentials(db) + "UpdateLog=1\r\n");
    BackgroundChild service = StartHeadless(dir);
    ASSERT_TRUE(WaitFor([&] { return Serving(dir); })) << TempDir::Read(dir.File("service.out"));

    ASSERT_TRUE(WriteTestPlate(dir.File("hot/a-1000001.tif")));
    ASSERT_TRUE(WaitFor([&] { return db.Sql("SELECT count(*) FROM Log") == "1"; }));

    // The server goes while a plate is resampled: its end report is lost, the plate is not.
    TestPlate big;
    big.width = 3000;
    big.height = 4000;
    ASSERT_TRUE(WriteTestPlate(dir.File("b-1000002.tif"), big));
    ASSERT_EQ(std::rename(dir.File("b-1000002.tif").c_str(), dir.File("hot/b-1000002.tif").c_str()), 0);
    ASSERT_TRUE(WaitFor([&] { return Contains(TempDir::Read(dir.File("service.out")), "Processing  b-1000002.tif"); }));
    ASSERT_TRUE(server->Stop(why)) << why;
    ASSERT_TRUE(WaitFor([&] { return !TempDir::Read(dir.File("plates/b-1000002.tif")).empty(); }, 60))
        << TempDir::Read(dir.File("service.out"));
    ASSERT_TRUE(WriteTestPlate(dir.File("hot/c-1000003.tif")));
    ASSERT_TRUE(WaitFor([&] { return !TempDir::Read(dir.File("plates/c-1000003.tif")).empty(); }))
        << TempDir::Read(dir.File("service.out"));

    // Back again: the next job's reports reach it without a restart of the service.
    ASSERT_TRUE(server->Restart(why)) << why;
    ASSERT_TRUE(WriteTestPlate(dir.File("hot/d-1000004.tif")));
    ASSERT_TRUE(WaitFor([&] { return db.Sql("SELECT count(*) FROM Log") == "2"; }))
        << TempDir::Read(dir.File("service.out"));
    EXPECT_EQ(service.Stop(SIGTERM), 0);
    EXPECT_EQ(db.Sql("SELECT FileName FROM Log ORDER BY LogID"), "a-1000001.tif\nd-1000004.tif");
    EXPECT_EQ(db.Sql("SELECT StateA FROM Processes"), "0");
    // The job record has every plate; the log says which reports were not sent.
    const std::string jobs = TempDir::Read(dir.File("temp/PlexivarJobs.csv"));
    for (const char* name : {"a-1000001.tif", "b-1000002.tif", "c-1000003.tif", "d-1000004.tif"})
        EXPECT_TRUE(Contains(jobs, std::string(name) + ";K;Done;")) << name << "\n" << jobs;
    const std::string log = TempDir::Read(dir.File("temp/Plexivar.log"));
    for (const char* report : {"end report of b-1000002.tif not sent - ",
                               "start report of c-1000003.tif not sent", "end report of c-1000003.tif not sent"})
        EXPECT_TRUE(Contains(log, report)) << report << "\n" << log;
    EXPECT_FALSE(Contains(log, "report of d-1000004.tif not sent")) << log;
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("hot"))) << "every plate left the hot folder";
}

}  // namespace
}  // namespace plexivar::testing
