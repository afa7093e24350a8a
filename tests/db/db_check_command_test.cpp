// plexivar --db-check against the test database server.
#include <gtest/gtest.h>

#include <sstream>

#include "app/command_line.h"
#include "tests/db/test_database.h"
#include "tests/support/temp_dir.h"

namespace plexivar {
namespace {

using plexivar::testing::NewTestDatabase;
using plexivar::testing::ScopedCurrentDir;
using plexivar::testing::TempDir;

struct CheckRun {
    int status;
    std::string out, err;
};

CheckRun DbCheck(const TempDir& dir, const std::string& ini) {
    dir.Write("plexivar.ini", ini);
    ScopedCurrentDir cd(dir.path());
    std::ostringstream out, err;
    const int status = RunCommandLine({"--db-check"}, out, err);
    return {status, out.str(), err.str()};
}

TEST(DbCheckCommand, ReportsWhatTheDataSourceHoldsAndChangesNothing) {
    PLEXIVAR_REQUIRE_TEST_SERVER(server);
    const auto db = NewTestDatabase(*server);
    db.Sql("INSERT INTO LocationNames VALUES (4, 'Hall A'), (5, 'Hall B')");
    TempDir dir;
    const std::string credentials =
        "[Setup]\r\nDSN=" + db.dsn + "\r\nDSNuser=" + db.user + "\r\nDSNpw=" + db.password + "\r\n";

    const CheckRun good = DbCheck(dir, credentials + "LocationName=hall b\r\nLogToDatabase=1\r\n");
    EXPECT_EQ(good.status, 0) << good.out << good.err;
    EXPECT_EQ(good.out, "Data source: " + db.dsn + " (user plexivar)\n"
                        "Connection: open\n"
                        "Locations: 2\n"
                        "  4 Hall A\n"
                        "  5 Hall B\n"
                        "LocationName 'hall b': location id 5\n"
                        "Log.FileName: present (log entries carry the file name)\n"
                        "Reporting: on (LogToDatabase=1)\n");
    EXPECT_EQ(db.Sql("SELECT (SELECT count(*) FROM Processes) + (SELECT count(*) FROM "
                     "StatementLog) + (SELECT count(*) FROM Log)"),
              "0");

    db.Sql("ALTER TABLE Log DROP COLUMN FileName; DELETE FROM LocationNames");
    const CheckRun shortLog = DbCheck(dir, credentials);
    EXPECT_EQ(shortLog.status, 0);
    EXPECT_NE(shortLog.out.find("\nLocations: 0\nLocationName '': not in the list, location id 1 "
                                "is sent\nLog.FileName: absent"),
              std::string::npos)
        << shortLog.out;
    EXPECT_NE(shortLog.out.find("Reporting: off (LogToDatabase=0)"), std::string::npos);

    db.Sql("DROP TABLE LocationNames");
    const CheckRun noTable = DbCheck(dir, credentials);
    EXPECT_EQ(noTable.status, 1);
    EXPECT_NE(noTable.out.find("Locations: failed - Query failed - "), std::string::npos)
        << noTable.out;
    EXPECT_NE(noTable.out.find("(SELECT LocationID,Name FROM LocationNames)"), std::string::npos);
}

TEST(DbCheckCommand, PrintsTheExactConnectionError) {
    TempDir dir;
    const CheckRun empty = DbCheck(dir, "[Setup]\r\nDSNuser=\r\n");
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.out, "Data source: OV (user )\nConnection: failed - Empty DSN or username "
                         "not allowed\n");

    PLEXIVAR_REQUIRE_TEST_SERVER(server);  // for the private ODBC files
    const CheckRun unknown = DbCheck(dir, "[Setup]\r\nDSN=no_such_source\r\n");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.out.find("Connection: failed - Error connecting to database - "),
              std::string::npos)
        << unknown.out;
    EXPECT_NE(unknown.out.find("IM002"), std::string::npos) << unknown.out;
    EXPECT_NE(unknown.out.find("(DSN=no_such_source;UID=sa;PWD=********)"), std::string::npos);
}

TEST(DbCheckCommand, TakesNoArguments) {
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine({"--db-check", "x"}, out, err), 2);
    EXPECT_NE(err.str().find("--db-check takes no arguments"), std::string::npos);
}

}  // namespace
}  // namespace plexivar
