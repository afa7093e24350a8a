// The database link against a real server: a PostgreSQL cluster through psqlODBC, with a
// schema that stands in for the production database.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "db/database_manager.h"
#include "db/odbc_connection.h"
#include "service/database_reports.h"
#include "tests/db/test_database.h"

namespace plexivar {
namespace {

using db::DatabaseManager;
using db::OdbcConnection;
using db::OdbcTimeouts;
using plexivar::testing::NewTestDatabase;
using plexivar::testing::TestDatabase;
using plexivar::testing::TestDatabaseServer;
using Clock = std::chrono::steady_clock;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class RealServer : public ::testing::Test {
protected:
    void SetUp() override {
        PLEXIVAR_REQUIRE_TEST_SERVER(server);
        db_ = NewTestDatabase(*server);
        ASSERT_FALSE(db_.dsn.empty());
        settings_.LogToDatabase = 1;
        settings_.DSN = db_.dsn;
        settings_.DSNuser = db_.user;
        settings_.DSNpw = db_.password;
    }
    void Connect(DatabaseManager& manager, bool keep = true) {
        std::string error;
        ASSERT_TRUE(manager.ConnectWith(db_.dsn, db_.user, db_.password, keep, error)) << error;
    }

    TestDatabase db_;
    ServiceSettings settings_;
    DatabaseManager manager_{settings_, std::make_unique<OdbcConnection>(), "PREPRESS1"};
};

TEST_F(RealServer, JobReportsLeaveTheTablesAsReported) {
    db_.Sql("INSERT INTO LocationNames VALUES (4, 'Hall A'), (5, 'Hall B');"
            "INSERT INTO PageTable (FlatSeparation) VALUES (1183407), (2000001)");
    settings_.LocationName = "hall b";
    settings_.UpdateLog = 1;
    settings_.UpdateFlatPagetable = 1;
    settings_.UpdateExternalStatus = 1;
    std::string error;
    ASSERT_TRUE(RunDatabaseStartup(&manager_, settings_, error)) << error;
    EXPECT_EQ(manager_.ProcessId(), 1);
    EXPECT_TRUE(manager_.LogFileNameColumn());
    EXPECT_EQ(db_.Sql("SELECT ProcessKind, HostName, ProcessText, LocationID FROM Processes"),
              "65|PREPRESS1|Fanout|5");
    ReportProcessState(&manager_, settings_, true);
    EXPECT_EQ(db_.Sql("SELECT StateA, StateB FROM Processes"), "1|1");

    // A job that goes well.
    ReportJobStarted(&manager_, settings_, "0042-1183407.tif", 1183407);
    EXPECT_EQ(db_.Sql("SELECT ExternalStatus FROM PageTable WHERE FlatSeparation=1183407"), "5");
    EXPECT_EQ(db_.Sql("SELECT Text1 FROM Processes"), "0042-1183407.tif");
    ReportJobSucceeded(&manager_, settings_, "0042-1183407.tif", 1183407, "");
    EXPECT_EQ(db_.Sql("SELECT ExternalStatus FROM PageTable WHERE FlatSeparation=1183407"), "6");

    // A job that fails with a long message, on a file name with a quote, a semicolon and
    // letters outside ASCII.
    const std::string name = "O'Hara; bl\xC3\xA5-2000001.tif";
    const std::string message = "Error copying 'x': " + std::string(281, 'e');
    ASSERT_EQ(message.size(), 300u);
    ReportJobStarted(&manager_, settings_, name, 2000001);
    ReportJobFailed(&manager_, settings_, name, 2000001, message);
    EXPECT_EQ(db_.Sql("SELECT Status, ExternalStatus, LastError FROM PageTable "
                      "WHERE FlatSeparation=2000001"),
              "46|7|" + message.substr(0, 99));
    // A file whose name carries no usable number gets its log entry and nothing else.
    ReportJobFailed(&manager_, settings_, "plate-1.tif", 1, "bad");
    ReportProcessState(&manager_, settings_, false);

    EXPECT_EQ(db_.Sql("SELECT FlatSeparation, StatusCode, length(Message), ProcessID, "
                      "ProcessKind FROM FlatPageStatus ORDER BY Seq"),
              "1183407|159|0|1|65\n1183407|150|0|1|65\n2000001|159|0|1|65\n2000001|156|256|1|65");
    EXPECT_EQ(db_.Sql("SELECT ProcessID, EventCode, FlatSeparation, Message = '' OR Message = "
                      "'bad' OR length(Message) = 300, FileName FROM Log ORDER BY LogID"),
              "1|150|1183407|t|0042-1183407.tif\n1|156|2000001|t|" + name +
                  "\n1|156|1|t|plate-1.tif");
    EXPECT_EQ(db_.Sql("SELECT Message FROM Log WHERE FlatSeparation=2000001"), message);
    EXPECT_EQ(db_.Sql("SELECT StateA, StateB, Text1 FROM Processes"), "0|0|");
    EXPECT_TRUE(manager_.Connected());
}

TEST_F(RealServer, LocationAbsentAndLogWithoutFileName) {
    db_.Sql("ALTER TABLE Log DROP COLUMN FileName");
    settings_.LocationName = "Nowhere";
    settings_.UpdateLog = 1;
    std::string error;
    ASSERT_TRUE(RunDatabaseStartup(&manager_, settings_, error)) << error;
    EXPECT_EQ(manager_.LocationList().size(), 0u);
    EXPECT_EQ(db_.Sql("SELECT LocationID FROM Processes"), "1");
    EXPECT_FALSE(manager_.LogFileNameColumn());
    ReportJobSucceeded(&manager_, settings_, "0042-1183407.tif", 1183407, "");
    EXPECT_EQ(db_.Sql("SELECT EventCode, FlatSeparation FROM Log"), "150|1183407");
}

TEST_F(RealServer, KeepConnectionZeroOpensAFreshConnectionPerStatement) {
    for (const bool keep : {true, false}) {
        db_.Sql("DELETE FROM StatementLog");
        DatabaseManager manager(settings_, std::make_unique<OdbcConnection>(), "PREPRESS1");
        Connect(manager, keep);
        std::string error;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(manager.UpdateProcess(1, 1, 1, "", "", error), 1) << error;
            EXPECT_EQ(manager.SetExternalStatus(1183407, 5, error), 1) << error;
        }
        EXPECT_EQ(db_.Sql("SELECT count(*), count(DISTINCT BackendPid) FROM StatementLog"),
                  keep ? "6|1" : "6|6");
    }
}

TEST_F(RealServer, TheZoneQueryCannotRunHereAndIsTriedFourTimes) {
    Connect(manager_);
    std::string zone = "stale";
    std::string error;
    const auto start = Clock::now();
    EXPECT_EQ(manager_.LookupZoneRetrying(1183407, zone, error), 0);
    EXPECT_GE(SecondsSince(start), 2.0);
    EXPECT_EQ(zone, "");
    EXPECT_TRUE(Contains(error, "ERROR (DATABASEMGR): Update failed - ")) << error;
    EXPECT_TRUE(Contains(error, "42601")) << error;
    // The failure closed the connection; the next statement opens a new one.
    EXPECT_EQ(manager_.UpdateProcess(1, 1, 1, "", "", error), 1) << error;
}

TEST_F(RealServer, ConnectionFailuresGiveTheDriversReason) {
    // Roles belong to the whole cluster: this one is named after the test's database.
    const std::string odd = "odd_" + db_.name;
    db_.Sql("CREATE ROLE " + odd + " LOGIN PASSWORD 'a;b}c'");
    const std::string downDsn =
        TestDatabaseServer::AddDataSource("postgres", 1);  // nothing listens on port 1
    const struct {
        std::string dsn, user, password;
        bool connects;
        std::vector<std::string> parts;
    } cases[] = {
        {"no_such_source", db_.user, db_.password, false,
         {"Error connecting to database - ", "IM002", "(DSN=no_such_source;UID="}},
        {db_.dsn, db_.user, "wrong", false,
         {"Error connecting to database - ", "password authentication failed", "08001",
          ";PWD=********)"}},
        {db_.dsn, "nobody", db_.password, false, {"08001"}},
        {downDsn, db_.user, db_.password, false, {"Error connecting to database - ", "08001"}},
        {db_.dsn, "", db_.password, false, {"Empty DSN or username not allowed"}},
        {db_.dsn, odd, "a;b}c", true, {}},
    };
    for (const auto& c : cases) {
        DatabaseManager manager(settings_, std::make_unique<OdbcConnection>(), "PREPRESS1");
        std::string error;
        EXPECT_EQ(manager.ConnectWith(c.dsn, c.user, c.password, true, error), c.connects)
            << c.dsn << " " << c.user << ": " << error;
        for (const std::string& part : c.parts)
            EXPECT_TRUE(Contains(error, part)) << part << " not in: " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST_F(RealServer, AwkwardTextsAreStoredAsWrittenOrRefusedCleanly) {
    settings_.UpdateLog = 1;
    Connect(manager_);
    manager_.SetLogFileNameColumn(true);
    const std::string names[] = {
        "O'Hara-1183407.tif",
        "x'); DELETE FROM Log; --.tif",
        "semi;colon;-5.tif",
        "\xC3\xA5rhus r\xC3\xB8" "d-6.tif",  // UTF-8 letters
        "100%d %s-7.tif",
        "",
    };
    std::string error;
    for (const std::string& name : names)
        EXPECT_EQ(manager_.AddLogEntry(1183407, 150, name, name, error), 1) << name << ": " << error;
    std::string expected;
    for (const std::string& name : names) expected += (expected.empty() ? "" : "\n") + name + "|" + name;
    EXPECT_EQ(db_.Sql("SELECT Message, FileName FROM Log ORDER BY LogID"), expected);

    // A Windows-1252 name is not valid text for this server: a clear error, and the next
    // statement goes through on a new connection.
    EXPECT_EQ(manager_.AddLogEntry(1183407, 150, "", "r\xF8" "d-8.tif", error), 0);
    EXPECT_TRUE(Contains(error, "ERROR (DATABASEMGR): Update failed - ")) << error;
    EXPECT_TRUE(Contains(error, "22021")) << error;
    EXPECT_FALSE(manager_.Connected());
    EXPECT_EQ(manager_.AddLogEntry(1183407, 150, "", "after.tif", error), 1) << error;
    EXPECT_EQ(db_.Sql("SELECT count(*) FROM Log"), "7");
}

TEST_F(RealServer, ABlockedStatementEndsAtTheQueryTimeOut) {
    db_.Sql("INSERT INTO PageTable (FlatSeparation) VALUES (1183407)");
    DatabaseManager manager(settings_, std::make_unique<OdbcConnection>(OdbcTimeouts{2, 1}),
                            "PREPRESS1");
    Connect(manager);
    // Another session holds the plate's row, as a long transaction on the plant's server
    // would.
    std::thread holder([this] {
        db_.Sql("BEGIN; SELECT 1 FROM PageTable WHERE FlatSeparation=1183407 FOR UPDATE; "
                "SELECT pg_sleep(4); COMMIT");
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    std::string error;
    const auto start = Clock::now();
    EXPECT_EQ(manager.SetExternalStatus(1183407, 5, error), 0);
    const double waited = SecondsSince(start);
    holder.join();
    EXPECT_LT(waited, 3.0);
    EXPECT_TRUE(Contains(error, "Update failed - ")) << error;
    EXPECT_TRUE(Contains(error, "57014")) << error;
    EXPECT_EQ(manager.SetExternalStatus(1183407, 5, error), 1) << error;
    EXPECT_EQ(db_.Sql("SELECT ExternalStatus FROM PageTable"), "5");
}

// Uses a cluster of its own: it stops and freezes the server.
TEST(RealServerOutage, StoppedFrozenAndBackWithoutLosingTheWay) {
    PLEXIVAR_START_PRIVATE_TEST_SERVER(server);
    std::string why;
    const TestDatabase database = NewTestDatabase(*server);
    ServiceSettings settings;
    settings.LogToDatabase = 1;
    settings.DSN = database.dsn;
    settings.DSNuser = database.user;
    settings.DSNpw = database.password;
    DatabaseManager manager(settings, std::make_unique<OdbcConnection>(OdbcTimeouts{2, 2}),
                            "PREPRESS1");
    std::string error;
    ASSERT_TRUE(RunDatabaseStartup(&manager, settings, error)) << error;
    EXPECT_EQ(manager.UpdateProcess(1, 1, 1, "a.tif", "", error), 1) << error;

    // Stopped under a live connection: the statement fails, the connection is dropped, and
    // while the server is away every attempt says why.
    ASSERT_TRUE(server->Stop(why)) << why;
    EXPECT_EQ(manager.UpdateProcess(1, 1, 1, "b.tif", "", error), 0);
    EXPECT_TRUE(Contains(error, "ERROR (DATABASEMGR): Update failed - ")) << error;
    EXPECT_FALSE(manager.Connected());
    EXPECT_EQ(manager.UpdateProcess(1, 1, 1, "c.tif", "", error), 0);
    EXPECT_TRUE(Contains(error, "Error connecting to database - ")) << error;
    EXPECT_FALSE(ReconnectDatabase(&manager, settings, error));
    EXPECT_TRUE(Contains(error, "08001")) << error;

    // Back again: the next operation reconnects by itself.
    ASSERT_TRUE(server->Restart(why)) << why;
    EXPECT_EQ(manager.UpdateProcess(1, 1, 1, "d.tif", "", error), 1) << error;
    EXPECT_EQ(database.Sql("SELECT Text1 FROM Processes"), "d.tif");

    // A server that accepts but never answers costs the login time-out, no more (a fresh
    // connection is forced by turning keep-connection off).
    settings.KeepConnection = 0;
    ASSERT_TRUE(server->Freeze());
    const auto start = Clock::now();
    EXPECT_FALSE(ReconnectDatabase(&manager, settings, error));
    const double waited = SecondsSince(start);
    ASSERT_TRUE(server->Thaw());
    EXPECT_LT(waited, 6.0);
    EXPECT_TRUE(Contains(error, "timeout expired")) << error;
    EXPECT_TRUE(ReconnectDatabase(&manager, settings, error)) << error;
    EXPECT_EQ(manager.UpdateProcess(1, 0, 0, "", "", error), 1) << error;
}

}  // namespace
}  // namespace plexivar
