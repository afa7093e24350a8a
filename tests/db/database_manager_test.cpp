// The database manager's connection rules, results and error texts, through a connection
// that records what is sent and answers from a script.
#include "db/database_manager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/db/recording_connection.h"

namespace plexivar::db {
namespace {

using plexivar::testing::ScriptedAnswer;
using Strings = std::vector<std::string>;

constexpr const char* kOpen = "open DSN=OV;UID=sa;PWD=vorpa";

struct Rig : plexivar::testing::RecordingManager {
    std::string error;

    bool Connect(bool keep = true) { return manager.ConnectWith("OV", "sa", "vorpa", keep, error); }
};

ScriptedAnswer Failure(const std::string& text) {
    return {QueryOutcome::Failed, {}, text};
}
ScriptedAnswer RowsOf(std::vector<ResultRow> rows) { return {QueryOutcome::Rows, rows, ""}; }
ScriptedAnswer NoResultSet() { return {QueryOutcome::NoResultSet, {}, ""}; }

TEST(DatabaseManager, KeepConnectionOpensOnceAndWithoutItEveryStatementGetsItsOwn) {
    Rig keep;
    ASSERT_TRUE(keep.Connect(true));
    EXPECT_EQ(keep.manager.UpdateProcess(7, 1, 1, "", "", keep.error), 1);
    EXPECT_EQ(keep.manager.SetExternalStatus(1183407, 5, keep.error), 1);
    EXPECT_EQ(keep.script->events,
              (Strings{kOpen, "{CALL spUpdateProcess (7,1,1,'','')}",
                       "UPDATE PageTable SET ExternalStatus=5 WHERE FlatSeparation=1183407"}));

    Rig fresh;
    ASSERT_TRUE(fresh.Connect(false));
    EXPECT_EQ(fresh.manager.UpdateProcess(7, 1, 1, "", "", fresh.error), 1);
    EXPECT_EQ(fresh.manager.SetExternalStatus(1183407, 5, fresh.error), 1);
    EXPECT_EQ(fresh.script->events,
              (Strings{kOpen, "close", kOpen, "{CALL spUpdateProcess (7,1,1,'','')}", "close",
                       kOpen, "UPDATE PageTable SET ExternalStatus=5 WHERE FlatSeparation=1183407"}));
}

TEST(DatabaseManager, AnOdbcErrorClosesTheConnectionAndTheNextOperationReconnects) {
    Rig rig;
    ASSERT_TRUE(rig.Connect());
    rig.script->Answer("{CALL spUpdateProcess", Failure("server closed the connection (SQLSTATE 08S01)"));
    EXPECT_EQ(rig.manager.UpdateProcess(7, 1, 1, "", "", rig.error), 0);
    EXPECT_EQ(rig.error,
              "ERROR (DATABASEMGR): Update failed - server closed the connection (SQLSTATE 08S01)");
    EXPECT_FALSE(rig.manager.Connected());
    EXPECT_EQ(rig.manager.SetExternalStatus(1183407, 5, rig.error), 1);
    EXPECT_EQ(rig.error, "");
    EXPECT_EQ(rig.script->events,
              (Strings{kOpen, "{CALL spUpdateProcess (7,1,1,'','')}", "close", kOpen,
                       "UPDATE PageTable SET ExternalStatus=5 WHERE FlatSeparation=1183407"}));
    EXPECT_TRUE(rig.manager.Connected());
}

TEST(DatabaseManager, ConnectWithKeepsALiveConnectionUnlessTheCredentialsChange) {
    Rig rig;
    ASSERT_TRUE(rig.Connect());
    ASSERT_TRUE(rig.Connect());
    ASSERT_TRUE(rig.manager.ConnectWith("Plant", "sa", "vorpa", true, rig.error));
    ASSERT_TRUE(rig.manager.ConnectWith("Plant", "sa", "new", true, rig.error));
    EXPECT_EQ(rig.script->events,
              (Strings{kOpen, "close", "open DSN=Plant;UID=sa;PWD=vorpa", "close",
                       "open DSN=Plant;UID=sa;PWD=new"}));
}

TEST(DatabaseManager, AConnectionTheDriverLetGoIsReopened) {
    Rig rig;
    rig.script->dropsAfterOpen = true;
    ASSERT_TRUE(rig.Connect());
    EXPECT_EQ(rig.manager.UpdateProcess(7, 0, 0, "", "", rig.error), 1);
    EXPECT_EQ(rig.script->Count(kOpen), 2);
}

TEST(DatabaseManager, ConnectionFailuresSayWhatWasTried) {
    const struct {
        std::string dsn, user;
        bool openFails;
        std::string openError, expected;
    } cases[] = {
        {"", "sa", false, "", "Empty DSN or username not allowed"},
        {"OV", "", false, "", "Empty DSN or username not allowed"},
        {"OV", "sa", true, "",
         "Error connecting to database with connection string 'DSN=OV;UID=sa;PWD=********'"},
        {"OV", "sa", true, "Data source name not found (SQLSTATE IM002)",
         "Error connecting to database - Data source name not found (SQLSTATE IM002) "
         "(DSN=OV;UID=sa;PWD=********)"},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.script->openFails = c.openFails;
        rig.script->openError = c.openError;
        EXPECT_FALSE(rig.manager.ConnectWith(c.dsn, c.user, "vorpa", true, rig.error));
        EXPECT_EQ(rig.error, c.expected);
        EXPECT_FALSE(rig.manager.Connected());
        // Every operation that sends something fails with its failure value and keeps
        // the connection error.
        const struct {
            int result, expected;
        } operations[] = {
            {rig.manager.RegisterProcess(rig.error), -1},
            {rig.manager.UpdateProcess(7, 1, 1, "", "", rig.error), 0},
            {rig.manager.UpdateFlatPageTable(1183407, 150, "", rig.error), -1},
            {rig.manager.SetExternalStatus(1183407, 6, rig.error), 0},
            {rig.manager.SetPageError(1183407, 46, "x", rig.error), 0},
            {rig.manager.HasColumn("Log", "FileName", rig.error), -1},
            {rig.manager.LoadLocationNames(rig.error), -1},
        };
        for (const auto& op : operations) EXPECT_EQ(op.result, op.expected) << c.expected;
        EXPECT_EQ(rig.error, c.expected);
    }
}

TEST(DatabaseManager, StatementsBeforeTheFirstConnectWithFailWithAConnectionError) {
    Rig rig;
    EXPECT_EQ(rig.manager.UpdateProcess(0, 1, 1, "", "", rig.error), 0);
    EXPECT_EQ(rig.error, "Empty DSN or username not allowed");
    EXPECT_TRUE(rig.script->events.empty());
}

TEST(DatabaseManager, StatementErrorTextsAndResults) {
    const std::string odbc = "boom (SQLSTATE 42000)";
    const std::string tagged = "ERROR (DATABASEMGR): Update failed - " + odbc;
    struct Case {
        const char* prefix;
        int (*run)(DatabaseManager&, std::string&);
        int expected;
        std::string error;
    };
    const Case cases[] = {
        {"{CALL spRegisterProcess", [](DatabaseManager& m, std::string& e) { return m.RegisterProcess(e); },
         -1, tagged},
        {"{CALL spUpdateProcess",
         [](DatabaseManager& m, std::string& e) { return m.UpdateProcess(7, 1, 1, "", "", e); }, 0,
         tagged},
        {"{CALL spUpdateFlatPageTable",
         [](DatabaseManager& m, std::string& e) { return m.UpdateFlatPageTable(1183407, 150, "", e); },
         0, tagged},
        {"{CALL spAddLogEntry",
         [](DatabaseManager& m, std::string& e) { return m.AddLogEntry(1183407, 150, "", "f", e); },
         0, tagged},
        {"UPDATE PageTable SET ExternalStatus",
         [](DatabaseManager& m, std::string& e) { return m.SetExternalStatus(1183407, 5, e); }, 0,
         "Update failed - " + odbc},
        {"UPDATE PageTable SET Status",
         [](DatabaseManager& m, std::string& e) { return m.SetPageError(1183407, 46, "x", e); }, 0,
         "Update failed - " + odbc},
        {"SELECT TOP 1",
         [](DatabaseManager& m, std::string& e) {
             std::string zone = "stale";
             const int r = m.LookupZone(1183407, zone, e);
             return zone.empty() ? r : 99;
         },
         0, tagged},
        {"{ CALL sp_columns",
         [](DatabaseManager& m, std::string& e) { return m.HasColumn("Log", "FileName", e); }, -1,
         "ERROR (DATABASEMGR): Query failed - " + odbc},
        {"SELECT LocationID",
         [](DatabaseManager& m, std::string& e) { return m.LoadLocationNames(e); }, -1,
         "Query failed - " + odbc + " (SELECT LocationID,Name FROM LocationNames)"},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.settings.UpdateLog = 1;
        ASSERT_TRUE(rig.Connect());
        rig.script->Answer(c.prefix, Failure(odbc));
        EXPECT_EQ(c.run(rig.manager, rig.error), c.expected) << c.prefix;
        EXPECT_EQ(rig.error, c.error) << c.prefix;
        EXPECT_FALSE(rig.manager.Connected()) << c.prefix;
        EXPECT_EQ(rig.script->events.back(), "close") << c.prefix;
    }
}

TEST(DatabaseManager, AStatementWithoutAResultSetIsAQueryFailureThatKeepsTheConnection) {
    Rig rig;
    ASSERT_TRUE(rig.Connect());
    rig.script->Answer("{CALL spRegisterProcess", NoResultSet());
    rig.script->Answer("SELECT TOP 1", NoResultSet());
    rig.script->Answer("{ CALL sp_columns", NoResultSet());
    rig.script->Answer("SELECT LocationID", NoResultSet());
    std::string zone;
    EXPECT_EQ(rig.manager.RegisterProcess(rig.error), 0);
    EXPECT_EQ(rig.error, "Query failed - {CALL spRegisterProcess (65,'PREPRESS1','Fanout',1)}");
    EXPECT_EQ(rig.manager.LookupZone(1183407, zone, rig.error), 0);
    EXPECT_EQ(rig.error,
              "Query failed - SELECT TOP 1 PressZone+PressCylinder FROM PageTable WITH (NOLOCK) "
              "WHERE FlatSeparation=1183407");
    EXPECT_EQ(rig.manager.HasColumn("Log", "FileName", rig.error), 0);
    EXPECT_EQ(rig.error, "Query failed - { CALL sp_columns ('Log') }");
    EXPECT_EQ(rig.manager.LoadLocationNames(rig.error), -1);
    EXPECT_EQ(rig.error, "Query failed - SELECT LocationID,Name FROM LocationNames");
    EXPECT_TRUE(rig.manager.Connected());
    EXPECT_EQ(rig.script->Count("close"), 0);
}

TEST(DatabaseManager, RegistrationSendsKindHostTextAndLocationAndReadsTheId) {
    Rig rig;
    ASSERT_TRUE(rig.Connect());
    rig.script->Answer("SELECT LocationID",
                       RowsOf({{"4", "Hall A"}, {"9", "Sp\xC3\xA5tter\xC3\xB8"}, {"5", "HALL A"}}));
    rig.script->Answer("{CALL spRegisterProcess", RowsOf({{"17"}, {"18"}}));
    EXPECT_EQ(rig.manager.LoadLocationNames(rig.error), 3);
    // Names match ignoring case (also in UTF-8 letters); the first match wins; none gives 0.
    EXPECT_EQ(rig.manager.LocationIdFor("hall a"), 4);
    EXPECT_EQ(rig.manager.LocationIdFor("SP\xC3\x85TTER\xC3\x98"), 9);
    EXPECT_EQ(rig.manager.LocationIdFor("Hall B"), 0);

    const struct {
        std::string location, processText;
        int backup;
        std::string expected;
    } cases[] = {
        {"hall a", "Fanout", 0, "{CALL spRegisterProcess (65,'PREPRESS1','Fanout',4)}"},
        {"Hall B", "Fanout", 0, "{CALL spRegisterProcess (65,'PREPRESS1','Fanout',1)}"},
        {"", "Fan'out 2", 1, "{CALL spRegisterProcess (66,'PREPRESS1','Fan''out 2',1)}"},
    };
    for (const auto& c : cases) {
        rig.settings.LocationName = c.location;
        rig.settings.ProcessText = c.processText;
        rig.settings.RegisterAsBackup = c.backup;
        EXPECT_EQ(rig.manager.RegisterProcess(rig.error), 17);
        EXPECT_EQ(rig.script->events.back(), c.expected);
    }
    // No row: no process id, and no error text either.
    rig.script->Answer("{CALL spRegisterProcess", RowsOf({}));
    EXPECT_EQ(rig.manager.RegisterProcess(rig.error), -1);
    EXPECT_EQ(rig.error, "");
    // A failed reload empties the list.
    rig.script->Answer("SELECT LocationID", Failure("gone"));
    EXPECT_EQ(rig.manager.LoadLocationNames(rig.error), -1);
    EXPECT_EQ(rig.manager.LocationIdFor("Hall A"), 0);
}

TEST(DatabaseManager, ZoneLookUpReadsTheFirstColumnOfTheFirstRow) {
    Rig rig;
    ASSERT_TRUE(rig.Connect());
    std::string zone;
    rig.script->Answer("SELECT TOP 1", RowsOf({{"3B", "ignored"}, {"4A"}}));
    EXPECT_EQ(rig.manager.LookupZoneRetrying(1183407, zone, rig.error), 1);
    EXPECT_EQ(zone, "3B");
    EXPECT_EQ(rig.script->Count("SELECT TOP 1 PressZone+PressCylinder FROM PageTable WITH "
                                "(NOLOCK) WHERE FlatSeparation=1183407"),
              1);
    // No row: the query ran, the zone is empty.
    rig.script->Answer("SELECT TOP 1", RowsOf({}));
    zone = "stale";
    EXPECT_EQ(rig.manager.LookupZoneRetrying(1183407, zone, rig.error), 1);
    EXPECT_EQ(zone, "");
    // The select field comes from the settings; empty means PressZone.
    rig.settings.CustomZoneSelectField = "";
    EXPECT_EQ(rig.manager.LookupZone(1183407, zone, rig.error), 1);
    EXPECT_EQ(rig.script->events.back(),
              "SELECT TOP 1 PressZone FROM PageTable WITH (NOLOCK) WHERE FlatSeparation=1183407");
}

TEST(DatabaseManager, ZoneLookUpTriesFourTimesWithAPauseAfterEachFailure) {
    Rig rig;
    ASSERT_TRUE(rig.Connect());
    rig.script->Answer("SELECT TOP 1", Failure("syntax (SQLSTATE 42601)"));
    std::string zone = "stale";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.manager.LookupZoneRetrying(1183407, zone, rig.error), 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(zone, "");
    EXPECT_EQ(rig.error, "ERROR (DATABASEMGR): Update failed - syntax (SQLSTATE 42601)");
    // Each failure closes the connection, so each later attempt opens a new one.
    EXPECT_EQ(rig.script->Count(kOpen), 4);
    EXPECT_EQ(rig.script->Count("close"), 4);
    EXPECT_EQ(rig.script->Statements().size(), 4u);
    EXPECT_GE(elapsed, std::chrono::milliseconds(2000));
}

TEST(DatabaseManager, ColumnProbeWalksTheRowsIgnoringCase) {
    Rig rig;
    ASSERT_TRUE(rig.Connect());
    rig.script->Answer("{ CALL sp_columns",
                       RowsOf({{"db", "dbo", "Log", "LogID"}, {"db", "dbo", "Log", "filename"},
                               {"short row"}}));
    EXPECT_EQ(rig.manager.HasColumn("Log", "FileName", rig.error), 1);
    EXPECT_EQ(rig.manager.HasColumn("Log", "Message", rig.error), 0);
    EXPECT_EQ(rig.error, "");
}

TEST(DatabaseManager, SkippedReportsSendNothingAndSucceed) {
    Rig rig;
    ASSERT_TRUE(rig.Connect());
    rig.settings.UpdateLog = 1;
    EXPECT_EQ(rig.manager.SetExternalStatus(1, 5, rig.error), 1);
    EXPECT_EQ(rig.manager.SetExternalStatus(0, 5, rig.error), 1);
    EXPECT_EQ(rig.manager.SetPageError(1, 46, "x", rig.error), 1);
    EXPECT_EQ(rig.manager.SetPageError(-3, 46, "x", rig.error), 1);
    EXPECT_EQ(rig.manager.AddLogEntry(0, 150, "", "f", rig.error), 1);
    rig.settings.UpdateLog = 0;
    EXPECT_EQ(rig.manager.AddLogEntry(1183407, 150, "", "f", rig.error), 1);
    EXPECT_TRUE(rig.script->Statements().empty());
    // Number 1 still makes a log entry; the long form follows the probed column.
    rig.settings.UpdateLog = 1;
    rig.manager.SetProcessId(7);
    EXPECT_EQ(rig.manager.AddLogEntry(1, 150, "", "x-1.tif", rig.error), 1);
    rig.manager.SetLogFileNameColumn(true);
    EXPECT_EQ(rig.manager.AddLogEntry(1, 150, "", "x-1.tif", rig.error), 1);
    EXPECT_EQ(rig.script->Statements(),
              (Strings{"{CALL spAddLogEntry (7,150,-1,1, '')}",
                       "{CALL spAddLogEntry (7,150,-1,1, '', 0, 'x-1.tif',0)}"}));
}

TEST(DatabaseManager, TwoThreadsNeverUseTheConnectionAtOnce) {
    Rig rig;
    rig.settings.UpdateLog = 1;
    ASSERT_TRUE(rig.Connect(false));
    auto hammer = [&rig](int id) {
        std::string error;
        std::string zone;
        for (int i = 0; i < 40; ++i) {
            rig.manager.UpdateProcess(id, 1, 1, "", "", error);
            rig.manager.AddLogEntry(1183407, 150, "", "f", error);
            rig.manager.LookupZone(1183407, zone, error);
        }
    };
    std::thread other(hammer, 2);
    hammer(1);
    other.join();
    EXPECT_EQ(rig.script->overlaps.load(), 0);
    EXPECT_EQ(rig.script->Statements().size(), 240u);
}

}  // namespace
}  // namespace plexivar::db
