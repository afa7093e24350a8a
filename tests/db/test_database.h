// A real database server for tests: a throwaway PostgreSQL cluster on a loopback port in a
// temporary folder, reached through the psqlODBC driver with private ODBC ini files, and
// a schema that plays the production database (tables PageTable, LocationNames, Log and
// the reporting procedures as functions).
//
// Use:
//   PLEXIVAR_REQUIRE_TEST_SERVER(server);            // skips when PostgreSQL is absent
//   TestDatabase db = NewTestDatabase(*server);      // a fresh database with its own DSN
//   manager.ConnectWith(db.dsn, db.user, db.password, true, error);
//   db.Sql("SELECT Status FROM PageTable WHERE FlatSeparation=1183407")  // "46"
// A plexivar process started by the test finds the DSN too: the private ODBC files are
// named in this process's environment (ODBCSYSINI, ODBCINI), which children inherit; its
// plexivar.ini takes DSN=db.dsn, DSNuser=db.user, DSNpw=db.password.
//
// One cluster serves a whole test run: the CTest fixture "plexivar_test_database" starts
// it (program plexivar_test_database) and every process attaches to it; a test binary run
// on its own starts a cluster of its own on first use and stops it at exit. Each test
// takes a database of its own, so tests running side by side never see each other's
// rows. A test that stops or freezes the server starts a cluster of its own instead
// (PLEXIVAR_START_PRIVATE_TEST_SERVER).
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace plexivar::testing {

// The role the program logs in as, and its password.
inline constexpr const char* kTestUser = "plexivar";
inline constexpr const char* kTestPassword = "plate-room";

class TestDatabaseServer;

// One database of the cluster with an ODBC data source of its own.
struct TestDatabase {
    const TestDatabaseServer* server = nullptr;
    std::string name;      // database name
    std::string dsn;       // data source name in the private odbc.ini
    std::string user = kTestUser;
    std::string password = kTestPassword;

    // Runs `sql` as the superuser in this database and returns what it printed: one line
    // per row, columns separated by "|" (psql's unaligned format), without the final line
    // break. Fails the current test (and returns "") when the statement fails.
    std::string Sql(const std::string& sql) const;
};

class TestDatabaseServer {
public:
    // Starts a cluster in a new temporary folder. Null when it could not: `error` says why,
    // and `unavailable` is set when PostgreSQL, psqlODBC or the postgres account is
    // missing (the only case in which a test may skip instead of failing).
    static std::unique_ptr<TestDatabaseServer> Start(std::string& error, bool& unavailable);
    // Attaches to a cluster that another process started with its state in `stateDir`;
    // null when there is none or it does not answer. With `takeOwnership` the cluster is
    // not checked, and this object stops and removes it.
    static std::unique_ptr<TestDatabaseServer> Attach(const std::string& stateDir,
                                                      bool takeOwnership = false);
    // Stops and removes the cluster when this object owns it.
    ~TestDatabaseServer();
    TestDatabaseServer(const TestDatabaseServer&) = delete;
    TestDatabaseServer& operator=(const TestDatabaseServer&) = delete;

    int port() const { return port_; }
    const std::string& folder() const { return folder_; }

    // Shuts the server down (fast mode: live connections are cut) and starts it again on
    // the same port with the same data.
    bool Stop(std::string& error);
    bool Restart(std::string& error);
    // Suspends and resumes the server's main process: connection attempts then hang.
    bool Freeze();
    bool Thaw();

    // Runs SQL as the superuser; false with psql's message on failure.
    bool Sql(const std::string& database, const std::string& sql, std::string& output) const;
    // A new database with the schema and a DSN for it; `error` says why when it fails.
    bool CreateDatabase(TestDatabase& database, std::string& error) const;
    // A DSN in the private odbc.ini for `database` on `port` (any port: a data source of a
    // server that is down), pointing ODBCSYSINI and ODBCINI at the private files.
    static std::string AddDataSource(const std::string& database, int port);

    // Writes the cluster's state (folder, port) for Attach; ForgetState removes it.
    bool SaveState(const std::string& stateDir, std::string& error) const;
    static void ForgetState(const std::string& stateDir);
    // Leaves the cluster running when this object goes (another process stops it).
    void KeepRunning() { owned_ = false; }

private:
    struct Token {};

public:
    explicit TestDatabaseServer(Token) {}

private:
    bool Launch(std::string& error);

    std::string binDir_;  // PostgreSQL's programs
    std::string folder_;  // cluster folder: data/, socket, server.log
    int port_ = 0;
    bool owned_ = false;
};

// The cluster shared by the whole test run (see above); null with `why` when none can be
// had. `unavailable` as for TestDatabaseServer::Start.
const TestDatabaseServer* SharedTestServer(std::string& why, bool& unavailable);

// A fresh database on `server`; fails the current test when it cannot be created.
TestDatabase NewTestDatabase(const TestDatabaseServer& server);

// Where the CTest fixture keeps the shared cluster's state.
std::string SharedStateDir();

}  // namespace plexivar::testing

// Ends the test when `var` holds no server: skips it, saying why, only when PostgreSQL or
// psqlODBC is not installed; any other start failure fails it.
#define PLEXIVAR_SKIP_OR_FAIL_WITHOUT_SERVER(var)                                          \
    if (var == nullptr) {                                                                  \
        if (var##_unavailable) GTEST_SKIP() << "no test database server: " << var##_why;   \
        FAIL() << "the test database server did not start: " << var##_why;                 \
    }

// Declares `const TestDatabaseServer* var`, the shared cluster.
#define PLEXIVAR_REQUIRE_TEST_SERVER(var)                                                  \
    std::string var##_why;                                                                 \
    bool var##_unavailable = false;                                                        \
    const ::plexivar::testing::TestDatabaseServer* var =                                   \
        ::plexivar::testing::SharedTestServer(var##_why, var##_unavailable);               \
    PLEXIVAR_SKIP_OR_FAIL_WITHOUT_SERVER(var)

// Declares `std::unique_ptr<TestDatabaseServer> var`, a cluster of the test's own, for a
// test that stops or freezes the server.
#define PLEXIVAR_START_PRIVATE_TEST_SERVER(var)                                            \
    std::string var##_why;                                                                 \
    bool var##_unavailable = false;                                                        \
    auto var =                                                                             \
        ::plexivar::testing::TestDatabaseServer::Start(var##_why, var##_unavailable);      \
    PLEXIVAR_SKIP_OR_FAIL_WITHOUT_SERVER(var)
