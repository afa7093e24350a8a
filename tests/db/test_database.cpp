#include "tests/db/test_database.h"

#include <glob.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/db/test_schema.h"

namespace plexivar::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTemplate = "plexivar_template";
constexpr const char* kDriverName = "PlexivarTestPostgreSQL";
constexpr const char* kStateFile = "server.txt";

// Highest-numbered "bin" folder of the installed PostgreSQL versions that has the
// programs the cluster needs; "" when there is none.
std::string FindPostgresBin() {
    std::string best;
    int bestVersion = -1;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
        const fs::path bin = entry.path() / "bin";
        if (!fs::exists(bin / "initdb") || !fs::exists(bin / "pg_ctl") || !fs::exists(bin / "psql"))
            continue;
        const int version = std::atoi(entry.path().filename().c_str());
        if (version > bestVersion) {
            bestVersion = version;
            best = bin.string();
        }
    }
    return best;
}

// The ANSI psqlODBC driver; the program talks to ODBC through its 8-bit calls.
std::string FindPsqlOdbcDriver() {
    glob_t found{};
    std::string path;
    if (glob("/usr/lib/*/odbc/psqlodbca.so", 0, nullptr, &found) == 0 && found.gl_pathc > 0)
        path = found.gl_pathv[0];
    globfree(&found);
    return path;
}

bool RunningAsRoot() { return geteuid() == 0; }

// PostgreSQL refuses to run as root: its programs then run as the postgres account.
std::vector<std::string> AsServerUser(std::vector<std::string> argv) {
    if (RunningAsRoot()) argv.insert(argv.begin(), {"runuser", "-u", "postgres", "--"});
    return argv;
}

// A loopback port that was free a moment ago.
int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

// A new folder in `base` (TMPDIR or /tmp when empty).
std::string MakeTempFolder(const std::string& prefix, std::string base = {}) {
    if (base.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        base = tmp && *tmp ? tmp : "/tmp";
    }
    std::string pattern = base + "/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return {};
    return pattern;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The private ODBC configuration of this process: one driver, one DSN per test database.
// The driver manager reads the files at every connect, so DSNs added later are found.
class OdbcFiles {
public:
    static OdbcFiles& Instance() {
        static OdbcFiles files;
        return files;
    }
    ~OdbcFiles() {
        std::error_code ec;
        if (!folder_.empty()) fs::remove_all(folder_, ec);
    }
    std::string Add(const std::string& database, int port) {
        std::lock_guard lock(mutex_);
        if (folder_.empty()) {
            folder_ = MakeTempFolder("plexivar-odbc");
            std::ofstream(folder_ + "/odbcinst.ini")
                << "[" << kDriverName << "]\nDriver=" << FindPsqlOdbcDriver() << "\n";
            setenv("ODBCSYSINI", folder_.c_str(), 1);
            setenv("ODBCINI", (folder_ + "/odbc.ini").c_str(), 1);
        }
        const std::string dsn = "plexivar_test_" + std::to_string(++count_);
        std::ofstream(folder_ + "/odbc.ini", std::ios::app)
            << "[" << dsn << "]\nDriver=" << kDriverName << "\nServername=127.0.0.1\nPort="
            << port << "\nDatabase=" << database << "\n\n";
        return dsn;
    }

private:
    std::mutex mutex_;
    std::string folder_;
    int count_ = 0;
};

}  // namespace

std::unique_ptr<TestDatabaseServer> TestDatabaseServer::Start(std::string& error,
                                                              bool& unavailable) {
    unavailable = true;
    auto server = std::make_unique<TestDatabaseServer>(Token{});
    server->binDir_ = FindPostgresBin();
    if (server->binDir_.empty()) {
        error = "PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/initdb)";
        return nullptr;
    }
    if (FindPsqlOdbcDriver().empty()) {
        error = "the psqlODBC driver is not installed (no /usr/lib/*/odbc/psqlodbca.so)";
        return nullptr;
    }
    passwd* account = RunningAsRoot() ? getpwnam("postgres") : nullptr;
    if (RunningAsRoot() && account == nullptr) {
        error = "running as root and there is no postgres account to run the server";
        return nullptr;
    }
    unavailable = false;

    // Always below /tmp: the postgres account must reach the folder, and the server's
    // socket path inside it must stay short.
    server->folder_ = MakeTempFolder("plexivar-pg", "/tmp");
    if (server->folder_.empty()) {
        error = "cannot create a folder for the cluster";
        return nullptr;
    }
    server->owned_ = true;  // from here on the destructor cleans up
    if (account != nullptr && chown(server->folder_.c_str(), account->pw_uid, account->pw_gid) != 0) {
        error = "cannot hand the cluster folder to the postgres account";
        return nullptr;
    }
    const std::string data = server->folder_ + "/data";
    const ChildResult init =
        RunChild(AsServerUser({server->binDir_ + "/initdb", "-D", data, "-U", "postgres",
                               "--auth-local=trust", "--auth-host=scram-sha-256", "-E", "UTF8",
                               "--no-locale", "--no-sync", "--no-instructions"}),
                 server->folder_);
    if (init.status != 0) {
        error = "initdb failed: " + init.output;
        return nullptr;
    }
    // Loopback only, socket in the cluster folder; durability is of no use to a test.
    std::ofstream(data + "/postgresql.conf", std::ios::app)
        << "listen_addresses = '127.0.0.1'\nunix_socket_directories = '" << server->folder_
        << "'\nfsync = off\nsynchronous_commit = off\nfull_page_writes = off\n"
        << "shared_buffers = 16MB\nmax_connections = 60\nlog_connections = on\n";

    // The port was free when chosen; another program may take it before the server does.
    for (int attempt = 0; attempt < 3; ++attempt) {
        server->port_ = FreeLoopbackPort();
        if (server->Launch(error)) break;
        server->port_ = 0;
    }
    if (server->port_ == 0) return nullptr;

    std::string output;
    const std::string role = std::string("CREATE ROLE ") + kTestUser + " LOGIN PASSWORD '" +
                             kTestPassword + "'";
    if (!server->Sql("postgres", role, output) ||
        !server->Sql("postgres",
                     std::string("CREATE DATABASE ") + kTemplate + " OWNER " + kTestUser, output) ||
        !server->Sql(kTemplate, std::string("SET ROLE ") + kTestUser + ";\n" + kTestSchema,
                     output)) {
        error = "setting up the schema failed: " + output;
        return nullptr;
    }
    return server;
}

bool TestDatabaseServer::Launch(std::string& error) {
    const ChildResult start = RunChild(
        AsServerUser({binDir_ + "/pg_ctl", "-D", folder_ + "/data", "-l", folder_ + "/server.log",
                      "-o", "-p " + std::to_string(port_), "-w", "-t", "60", "start"}),
        folder_);
    if (start.status == 0) return true;
    error = "pg_ctl start failed: " + start.output + ReadFile(folder_ + "/server.log");
    return false;
}

std::unique_ptr<TestDatabaseServer> TestDatabaseServer::Attach(const std::string& stateDir,
                                                               bool takeOwnership) {
    std::istringstream state(ReadFile(stateDir + "/" + kStateFile));
    auto server = std::make_unique<TestDatabaseServer>(Token{});
    if (!std::getline(state, server->folder_) || !(state >> server->port_) ||
        server->folder_.empty() || !fs::exists(server->folder_ + "/data"))
        return nullptr;
    server->binDir_ = FindPostgresBin();
    if (takeOwnership) {
        server->owned_ = true;
        return server;
    }
    std::string output;
    if (server->binDir_.empty() || !server->Sql("postgres", "SELECT 1", output)) return nullptr;
    return server;
}

TestDatabaseServer::~TestDatabaseServer() {
    if (!owned_ || folder_.empty()) return;
    if (fs::exists(folder_ + "/data/postmaster.pid")) {
        Thaw();
        RunChild(AsServerUser({binDir_ + "/pg_ctl", "-D", folder_ + "/data", "-m", "immediate",
                               "-w", "-t", "30", "stop"}),
                 folder_);
    }
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

bool TestDatabaseServer::Stop(std::string& error) {
    const ChildResult stop = RunChild(AsServerUser({binDir_ + "/pg_ctl", "-D", folder_ + "/data",
                                                    "-m", "fast", "-w", "-t", "30", "stop"}),
                                      folder_);
    if (stop.status == 0) return true;
    error = "pg_ctl stop failed: " + stop.output;
    return false;
}

bool TestDatabaseServer::Restart(std::string& error) { return Launch(error); }

namespace {

pid_t PostmasterPid(const std::string& folder) {
    std::ifstream pidFile(folder + "/data/postmaster.pid");
    long pid = 0;
    pidFile >> pid;
    return static_cast<pid_t>(pid);
}

}  // namespace

bool TestDatabaseServer::Freeze() {
    const pid_t pid = PostmasterPid(folder_);
    return pid > 0 && kill(pid, SIGSTOP) == 0;
}

bool TestDatabaseServer::Thaw() {
    const pid_t pid = PostmasterPid(folder_);
    return pid > 0 && kill(pid, SIGCONT) == 0;
}

bool TestDatabaseServer::Sql(const std::string& database, const std::string& sql,
                             std::string& output) const {
    const ChildResult run =
        RunChild({binDir_ + "/psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-h",
                  folder_, "-p", std::to_string(port_), "-U", "postgres", "-d", database, "-c", sql},
                 folder_, {"PGCONNECT_TIMEOUT=10"});
    output = run.output;
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return run.status == 0;
}

bool TestDatabaseServer::CreateDatabase(TestDatabase& database, std::string& error) const {
    static std::atomic<int> count{0};
    database = TestDatabase{};
    database.server = this;
    database.name = "t" + std::to_string(getpid()) + "_" + std::to_string(++count);
    if (!Sql("postgres", "CREATE DATABASE " + database.name + " TEMPLATE " + kTemplate + " OWNER " +
                             kTestUser,
             error))
        return false;
    database.dsn = AddDataSource(database.name, port_);
    return true;
}

std::string TestDatabaseServer::AddDataSource(const std::string& database, int port) {
    return OdbcFiles::Instance().Add(database, port);
}

bool TestDatabaseServer::SaveState(const std::string& stateDir, std::string& error) const {
    std::error_code ec;
    fs::create_directories(stateDir, ec);
    std::ofstream out(stateDir + "/" + kStateFile, std::ios::trunc);
    out << folder_ << "\n" << port_ << "\n";
    out.close();
    if (!out) {
        error = "cannot write " + stateDir + "/" + kStateFile;
        return false;
    }
    return true;
}

void TestDatabaseServer::ForgetState(const std::string& stateDir) {
    std::error_code ec;
    fs::remove(stateDir + "/" + kStateFile, ec);
}

std::string TestDatabase::Sql(const std::string& sql) const {
    std::string output;
    if (server == nullptr || !server->Sql(name, sql, output)) {
        ADD_FAILURE() << "SQL failed in test database " << name << ": " << sql << "\n" << output;
        return {};
    }
    return output;
}

std::string SharedStateDir() { return PLEXIVAR_TEST_DATABASE_STATE_DIR; }

const TestDatabaseServer* SharedTestServer(std::string& why, bool& unavailable) {
    static std::once_flag once;
    static std::unique_ptr<TestDatabaseServer> server;
    static std::string startError;
    static bool startUnavailable = false;
    std::call_once(once, [] {
        server = TestDatabaseServer::Attach(SharedStateDir());
        if (!server) server = TestDatabaseServer::Start(startError, startUnavailable);
    });
    why = startError;
    unavailable = startUnavailable;
    return server.get();
}

TestDatabase NewTestDatabase(const TestDatabaseServer& server) {
    TestDatabase database;
    std::string error;
    if (!server.CreateDatabase(database, error))
        ADD_FAILURE() << "cannot create a test database: " << error;
    return database;
}

}  // namespace plexivar::testing
