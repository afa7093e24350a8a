// The DatabaseConnection over unixODBC: one environment and at most one open connection,
// a fresh statement handle per statement. Time-outs bound every call that waits on the
// server, so that a server that hangs costs the calling thread seconds, not forever; an
// expired time-out is an ODBC error like any other.
#pragma once

#include <string>

#include "db/database_connection.h"
#include "db/odbc_handle.h"

namespace plexivar::db {

struct OdbcTimeouts {
    int loginSeconds = 10;  // opening the connection
    int querySeconds = 10;  // each statement
};

class OdbcConnection final : public DatabaseConnection {
public:
    explicit OdbcConnection(OdbcTimeouts timeouts = {}) : timeouts_(timeouts) {}
    ~OdbcConnection() override { Close(); }
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    bool Open(const std::string& connectionString, std::string& error) override;
    void Close() override;
    bool IsOpen() const override { return static_cast<bool>(connection_); }
    bool Execute(const std::string& statement, std::string& error) override;
    QueryOutcome Query(const std::string& statement, const RowVisitor& visit,
                       std::string& error) override;

private:
    // A statement handle on the open connection with the query time-out set.
    OdbcHandle NewStatement(std::string& error);

    OdbcTimeouts timeouts_;
    // Member order matters: the connection is freed before its environment.
    OdbcHandle environment_;
    OdbcHandle connection_;
};

}  // namespace plexivar::db
