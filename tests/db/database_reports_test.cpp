// What the service sends for each event, in order and byte for byte, through the database
// manager over a recording connection.
#include "service/database_reports.h"

#include <gtest/gtest.h>

#include <functional>

#include "db/database_manager.h"
#include "tests/db/recording_connection.h"

namespace plexivar {
namespace {

using plexivar::testing::ScriptedAnswer;
using Strings = std::vector<std::string>;

constexpr const char* kFile = "0042-1183407.tif";
constexpr std::int64_t kFlat = 1183407;

// Reporting on, connected, registered as process 7.
struct Rig : plexivar::testing::RecordingManager {
    Rig() {
        settings.LogToDatabase = 1;
        std::string error;
        manager.ConnectWith("OV", "sa", "vorpa", true, error);
        manager.SetProcessId(7);
    }
};

// Every report switched on, so that the conditions under test are the only ones that bite.
void EverythingOn(ServiceSettings& s) {
    s.UpdateLog = 1;
    s.UpdateFlatPagetable = 1;
    s.UpdateExternalStatus = 1;
    s.UpdateImagingErorStatus = 1;
}

struct EventCase {
    const char* name;
    std::function<void(ServiceSettings&)> configure;
    std::function<void(ProductionDatabase*, const ServiceSettings&)> event;
    Strings expected;
};

TEST(DatabaseReports, EachEventSendsItsStatementsInOrder) {
    const std::string longError(300, 'e');
    const EventCase cases[] = {
        {"heartbeat", EverythingOn,
         [](ProductionDatabase* db, const ServiceSettings& s) { ReportProcessState(db, s, true); },
         {"{CALL spUpdateProcess (7,1,1,'','')}"}},
        {"stopped", EverythingOn,
         [](ProductionDatabase* db, const ServiceSettings& s) { ReportProcessState(db, s, false); },
         {"{CALL spUpdateProcess (7,0,0,'','')}"}},
        {"job started, everything on", EverythingOn,
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobStarted(db, s, kFile, kFlat);
         },
         {"{CALL spUpdateProcess (7,1,1,'0042-1183407.tif','')}",
          "UPDATE PageTable SET ExternalStatus=5 WHERE FlatSeparation=1183407",
          "{CALL spUpdateFlatPageTable (1183407,7,65,159,'',0)}"}},
        {"job started, defaults (page-table and external updates off)", [](ServiceSettings&) {},
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobStarted(db, s, kFile, kFlat);
         },
         {"{CALL spUpdateProcess (7,1,1,'0042-1183407.tif','')}"}},
        {"job started, running codes 0",
         [](ServiceSettings& s) {
             EverythingOn(s);
             s.ExternalStatusRunning = 0;
             s.StatusCodeRunning = -1;
         },
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobStarted(db, s, kFile, kFlat);
         },
         {"{CALL spUpdateProcess (7,1,1,'0042-1183407.tif','')}"}},
        {"job started, number 1", EverythingOn,
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobStarted(db, s, "0042-1.tif", 1);
         },
         {"{CALL spUpdateProcess (7,1,1,'0042-1.tif','')}"}},
        {"job succeeded, everything on", EverythingOn,
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobSucceeded(db, s, kFile, kFlat, "");
         },
         {"{CALL spAddLogEntry (7,150,-1,1183407, '')}",
          "{CALL spUpdateFlatPageTable (1183407,7,65,150,'',0)}",
          "UPDATE PageTable SET ExternalStatus=6 WHERE FlatSeparation=1183407"}},
        {"job succeeded with a warning", EverythingOn,
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobSucceeded(db, s, kFile, kFlat, "Margins not applied: it's too wide");
         },
         {"{CALL spAddLogEntry (7,150,-1,1183407, '')}",
          "{CALL spUpdateFlatPageTable (1183407,7,65,157,'Margins not applied: it''s too wide',0)}",
          "UPDATE PageTable SET ExternalStatus=6 WHERE FlatSeparation=1183407"}},
        {"job succeeded with a warning, warning code 0",
         [](ServiceSettings& s) {
             EverythingOn(s);
             s.StatusCodeWarning = 0;
         },
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobSucceeded(db, s, kFile, kFlat, "Margins not applied");
         },
         {"{CALL spAddLogEntry (7,150,-1,1183407, '')}",
          "UPDATE PageTable SET ExternalStatus=6 WHERE FlatSeparation=1183407"}},
        {"job succeeded, number 1: log entry only", EverythingOn,
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobSucceeded(db, s, "0042-1.tif", 1, "");
         },
         {"{CALL spAddLogEntry (7,150,-1,1, '')}"}},
        {"job succeeded, number 0: nothing", EverythingOn,
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobSucceeded(db, s, "1234567-C.tif", 0, "");
         },
         {}},
        {"job succeeded, event code 0",
         [](ServiceSettings& s) {
             EverythingOn(s);
             s.EventCodeOK = 0;
             s.StatusCodeOK = 0;
         },
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobSucceeded(db, s, kFile, kFlat, "");
         },
         {"UPDATE PageTable SET ExternalStatus=6 WHERE FlatSeparation=1183407"}},
        {"job failed, everything on", EverythingOn,
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobFailed(db, s, kFile, kFlat, "Error copying file a to b");
         },
         {"{CALL spAddLogEntry (7,156,-1,1183407, 'Error copying file a to b')}",
          "UPDATE PageTable SET Status=46,LastError='Error copying file a to b' WHERE "
          "FlatSeparation=1183407",
          "{CALL spUpdateFlatPageTable (1183407,7,65,156,'Error copying file a to b',0)}",
          "UPDATE PageTable SET ExternalStatus=7 WHERE FlatSeparation=1183407"}},
        {"job failed, defaults (only the page error)", [](ServiceSettings&) {},
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobFailed(db, s, kFile, kFlat, "Error copying file a to b");
         },
         {"UPDATE PageTable SET Status=46,LastError='Error copying file a to b' WHERE "
          "FlatSeparation=1183407"}},
        {"job failed with a 300-character message", EverythingOn,
         [&longError](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobFailed(db, s, kFile, kFlat, longError);
         },
         {"{CALL spAddLogEntry (7,156,-1,1183407, '" + longError + "')}",
          "UPDATE PageTable SET Status=46,LastError='" + std::string(99, 'e') +
              "' WHERE FlatSeparation=1183407",
          "{CALL spUpdateFlatPageTable (1183407,7,65,156,'" + std::string(256, 'e') + "',0)}",
          "UPDATE PageTable SET ExternalStatus=7 WHERE FlatSeparation=1183407"}},
        {"job failed, number 1: log entry only", EverythingOn,
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobFailed(db, s, "0042-1.tif", 1, "bad");
         },
         {"{CALL spAddLogEntry (7,156,-1,1, 'bad')}"}},
        {"job failed as backup process", [](ServiceSettings& s) {
             EverythingOn(s);
             s.RegisterAsBackup = 1;
             s.UpdateImagingErorStatus = 0;
             s.UpdateLog = 0;
             s.UpdateExternalStatus = 0;
         },
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportJobFailed(db, s, kFile, kFlat, "bad");
         },
         {"{CALL spUpdateFlatPageTable (1183407,7,66,156,'bad',0)}"}},
        {"LogToDatabase off: nothing at all",
         [](ServiceSettings& s) {
             EverythingOn(s);
             s.LogToDatabase = 0;
         },
         [](ProductionDatabase* db, const ServiceSettings& s) {
             ReportProcessState(db, s, true);
             ReportJobStarted(db, s, kFile, kFlat);
             ReportJobSucceeded(db, s, kFile, kFlat, "");
             ReportJobFailed(db, s, kFile, kFlat, "bad");
             EXPECT_EQ(LookupJobZone(db, s, kFlat), "");
         },
         {}},
    };
    for (const EventCase& c : cases) {
        Rig rig;
        c.configure(rig.settings);
        c.event(&rig.manager, rig.settings);
        EXPECT_EQ(rig.script->Statements(), c.expected) << c.name;
    }
}

TEST(DatabaseReports, NoDatabaseMeansNoWork) {
    ServiceSettings settings;
    settings.LogToDatabase = 1;
    std::string error = "stale";
    EXPECT_TRUE(RunDatabaseStartup(nullptr, settings, error));
    EXPECT_EQ(error, "");
    EXPECT_TRUE(ReconnectDatabase(nullptr, settings, error));
    ReportProcessState(nullptr, settings, true);
    ReportJobStarted(nullptr, settings, kFile, kFlat);
    ReportJobSucceeded(nullptr, settings, kFile, kFlat, "");
    ReportJobFailed(nullptr, settings, kFile, kFlat, "bad");
    EXPECT_EQ(LookupJobZone(nullptr, settings, kFlat), "");
}

TEST(DatabaseReports, StartUpConnectsLoadsRegistersAndProbes) {
    Rig rig;
    rig.settings.LocationName = "Hall B";
    rig.script->Answer("SELECT LocationID", {db::QueryOutcome::Rows, {{"4", "Hall A"}, {"5", "hall b"}}, ""});
    rig.script->Answer("{CALL spRegisterProcess", {db::QueryOutcome::Rows, {{"12"}}, ""});
    rig.script->Answer("{ CALL sp_columns",
                       {db::QueryOutcome::Rows, {{"db", "dbo", "Log", "FileName"}}, ""});
    rig.settings.UpdateLog = 1;
    std::string error;
    ASSERT_TRUE(RunDatabaseStartup(&rig.manager, rig.settings, error)) << error;
    EXPECT_EQ(rig.manager.ProcessId(), 12);
    EXPECT_TRUE(rig.manager.LogFileNameColumn());
    ReportJobSucceeded(&rig.manager, rig.settings, kFile, kFlat, "");
    EXPECT_EQ(rig.script->Statements(),
              (Strings{"SELECT LocationID,Name FROM LocationNames",
                       "{CALL spRegisterProcess (65,'PREPRESS1','Fanout',5)}",
                       "{ CALL sp_columns ('Log') }",
                       "{CALL spAddLogEntry (12,150,-1,1183407, '', 0, '0042-1183407.tif',0)}"}));
}

TEST(DatabaseReports, StartUpStopsWhereItsStepsFail) {
    const struct {
        const char* name;
        std::function<void(Rig&)> arrange;
        bool ok;
        std::string error;
        int processId;
        Strings statements;
    } cases[] = {
        {"empty user",
         [](Rig& r) { r.settings.DSNuser = ""; },
         false, "Empty DSN or username not allowed", 7, {}},
        {"locations fail, registration still runs",
         [](Rig& r) {
             r.script->Answer("SELECT LocationID", {db::QueryOutcome::Failed, {}, "no table"});
             r.script->Answer("{CALL spRegisterProcess", {db::QueryOutcome::Rows, {{"3"}}, ""});
         },
         true, "", 3,
         {"SELECT LocationID,Name FROM LocationNames",
          "{CALL spRegisterProcess (65,'PREPRESS1','Fanout',1)}", "{ CALL sp_columns ('Log') }"}},
        {"registration returns no row",
         [](Rig& r) {
             r.script->Answer("{CALL spRegisterProcess", {db::QueryOutcome::Rows, {}, ""});
         },
         false, "", -1,
         {"SELECT LocationID,Name FROM LocationNames",
          "{CALL spRegisterProcess (65,'PREPRESS1','Fanout',1)}"}},
        {"registration fails",
         [](Rig& r) {
             r.script->Answer("{CALL spRegisterProcess",
                              {db::QueryOutcome::Failed, {}, "no such procedure"});
         },
         false, "ERROR (DATABASEMGR): Update failed - no such procedure", -1,
         {"SELECT LocationID,Name FROM LocationNames",
          "{CALL spRegisterProcess (65,'PREPRESS1','Fanout',1)}"}},
        {"column probe fails: short log form",
         [](Rig& r) {
             r.script->Answer("{CALL spRegisterProcess", {db::QueryOutcome::Rows, {{"3"}}, ""});
             r.script->Answer("{ CALL sp_columns", {db::QueryOutcome::Failed, {}, "denied"});
         },
         true, "", 3,
         {"SELECT LocationID,Name FROM LocationNames",
          "{CALL spRegisterProcess (65,'PREPRESS1','Fanout',1)}", "{ CALL sp_columns ('Log') }"}},
    };
    for (const auto& c : cases) {
        Rig rig;
        c.arrange(rig);
        std::string error = "stale";
        EXPECT_EQ(RunDatabaseStartup(&rig.manager, rig.settings, error), c.ok) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(rig.manager.ProcessId(), c.processId) << c.name;
        EXPECT_FALSE(rig.manager.LogFileNameColumn()) << c.name;
        EXPECT_EQ(rig.script->Statements(), c.statements) << c.name;
    }
}

TEST(DatabaseReports, ReconnectUsesTheCurrentSettings) {
    Rig rig;
    rig.settings.DSN = "Plant";
    rig.settings.DSNuser = "spool";
    rig.settings.DSNpw = "";
    rig.settings.KeepConnection = 0;
    std::string error;
    EXPECT_TRUE(ReconnectDatabase(&rig.manager, rig.settings, error));
    ReportProcessState(&rig.manager, rig.settings, true);
    EXPECT_EQ(rig.script->events,
              (Strings{"open DSN=OV;UID=sa;PWD=vorpa", "close", "open DSN=Plant;UID=spool;PWD=",
                       "close", "open DSN=Plant;UID=spool;PWD=",
                       "{CALL spUpdateProcess (7,1,1,'','')}"}));
    rig.script->openFails = true;
    rig.script->openError = "refused (SQLSTATE 08001)";
    EXPECT_FALSE(ReconnectDatabase(&rig.manager, rig.settings, error));
    EXPECT_EQ(error, "Error connecting to database - refused (SQLSTATE 08001) "
                     "(DSN=Plant;UID=spool;PWD=)");
    rig.settings.DSNpw = "secret";
    EXPECT_FALSE(ReconnectDatabase(&rig.manager, rig.settings, error));
    EXPECT_EQ(error, "Error connecting to database - refused (SQLSTATE 08001) "
                     "(DSN=Plant;UID=spool;PWD=********)");
    EXPECT_EQ(rig.script->events.back(), "open DSN=Plant;UID=spool;PWD=secret");
}

TEST(DatabaseReports, ZoneLookUpOnlyForUsableNumbers) {
    Rig rig;
    rig.script->Answer("SELECT TOP 1", {db::QueryOutcome::Rows, {{"2A"}}, ""});
    EXPECT_EQ(LookupJobZone(&rig.manager, rig.settings, kFlat), "2A");
    EXPECT_EQ(LookupJobZone(&rig.manager, rig.settings, 1), "");
    EXPECT_EQ(LookupJobZone(&rig.manager, rig.settings, 0), "");
    EXPECT_EQ(rig.script->Statements(),
              (Strings{"SELECT TOP 1 PressZone+PressCylinder FROM PageTable WITH (NOLOCK) WHERE "
                       "FlatSeparation=1183407"}));
}

}  // namespace
}  // namespace plexivar
