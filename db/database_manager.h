// The production database link: one connection, opened on demand, and every statement the
// service sends. Each operation returns its documented result and writes one message into
// its error text when it fails.
//
// Connection rules:
// - every operation that sends a statement connects first; a failed connect returns the
//   operation's failure value with the connection error in the error text;
// - with keep-connection set the connection stays open between statements; without it
//   each statement runs on a freshly opened connection;
// - any ODBC error of a statement closes the connection, so the next operation reconnects
//   (whatever the reason: a dropped server gives different SQLSTATEs on different drivers).
//
// Two threads use one manager (start/stop and the spooler thread): each operation holds
// the manager's mutex from its connect to its last row. The retrying zone look-up releases
// it while it pauses.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "db/database_connection.h"
#include "service/config/settings.h"
#include "service/production_database.h"

namespace plexivar::db {

struct Location {
    int id = 0;
    std::string name;
};

// This machine's name as the process registers under it ("" when unknown).
std::string LocalHostName();

class DatabaseManager final : public ProductionDatabase {
public:
    // `settings` holds the keys read at each statement (LocationName, ProcessText,
    // RegisterAsBackup, UpdateLog, CustomZoneSelectField) and must outlive the manager;
    // the service changes them only while its spooler thread is stopped.
    DatabaseManager(const ServiceSettings& settings, std::unique_ptr<DatabaseConnection> connection,
                    std::string hostName = LocalHostName());
    ~DatabaseManager() override;
    DatabaseManager(const DatabaseManager&) = delete;
    DatabaseManager& operator=(const DatabaseManager&) = delete;

    bool ConnectWith(const std::string& dsn, const std::string& user, const std::string& password,
                     bool keepConnection, std::string& error) override;
    // Connects with the stored credentials (empty until the first ConnectWith, which makes
    // an early statement fail with "Empty DSN or username not allowed").
    bool Connect(std::string& error);

    int RegisterProcess(std::string& error) override;
    int UpdateProcess(int processId, int stateA, int stateB, const std::string& text1,
                      const std::string& text2, std::string& error) override;
    int UpdateFlatPageTable(std::int64_t flatSeparation, int statusCode,
                            const std::string& message, std::string& error) override;
    int SetExternalStatus(std::int64_t flatSeparation, int externalStatus,
                          std::string& error) override;
    int SetPageError(std::int64_t flatSeparation, int status, const std::string& lastError,
                     std::string& error) override;
    int AddLogEntry(std::int64_t flatSeparation, int eventCode, const std::string& message,
                    const std::string& fileName, std::string& error) override;
    // One zone look-up: 1 when the query ran (zone "" when no row came back), 0 failed.
    int LookupZone(std::int64_t flatSeparation, std::string& zone, std::string& error);
    int LookupZoneRetrying(std::int64_t flatSeparation, std::string& zone,
                           std::string& error) override;
    int HasColumn(const std::string& table, const std::string& column,
                  std::string& error) override;
    int LoadLocationNames(std::string& error) override;

    // LocationID of the first loaded location whose name equals `name` ignoring case; 0
    // when there is none. Sends nothing.
    int LocationIdFor(const std::string& name) const;
    std::vector<Location> LocationList() const;

    int ProcessId() const override;
    void SetProcessId(int id) override;
    bool LogFileNameColumn() const;
    void SetLogFileNameColumn(bool present) override;
    bool Connected() const override;

private:
    bool ConnectLocked(std::string& error);
    // The failure rule: forget the connection and close it.
    void DropConnection();
    int ProcessKind() const;
    int LocationIdForLocked(const std::string& name) const;
    // Connects and executes a statement that returns no rows; on an ODBC error writes
    // `prefix` + the ODBC text and drops the connection. -1 when the connect failed, 1
    // sent, 0 failed.
    int SendLocked(const std::string& statement, const char* prefix, std::string& error);
    // Runs a query on the open connection. A statement without a result set writes "Query
    // failed - <statement>"; an ODBC error writes odbcPrefix + its text + odbcSuffix and
    // drops the connection.
    QueryOutcome QueryLocked(const std::string& statement, const RowVisitor& visit,
                             const std::string& odbcPrefix, const std::string& odbcSuffix,
                             std::string& error);

    const ServiceSettings& settings_;
    const std::unique_ptr<DatabaseConnection> connection_;
    const std::string hostName_;

    mutable std::mutex mutex_;
    bool connected_ = false;
    std::string dsn_;
    std::string user_;
    std::string password_;
    bool keepConnection_ = true;
    int processId_ = 0;
    bool logFileNameColumn_ = false;
    std::vector<Location> locations_;
};

}  // namespace plexivar::db
