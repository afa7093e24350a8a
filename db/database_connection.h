// One connection to a database that takes statement texts: the seam between the database
// manager, which builds every statement, and ODBC, which sends them. The manager owns one
// connection for its whole life and opens and closes it as its connection rules say;
// tests give it a connection that records the texts and serves prepared rows.
//
// Errors are values: a failed call returns false (or QueryOutcome::Failed) and fills
// `error` with the driver's diagnostics as one line of text.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace plexivar::db {

// One row of a result set, every column read as text; a NULL column reads as "".
using ResultRow = std::vector<std::string>;
// Receives the rows of a result set in order; returning false stops the reading.
using RowVisitor = std::function<bool(const ResultRow&)>;

enum class QueryOutcome {
    Rows,         // the result set opened; every row until the end (or a stop) was visited
    NoResultSet,  // the statement ran but produced no result set to read
    Failed,       // an ODBC error; `error` holds its text
};

class DatabaseConnection {
public:
    virtual ~DatabaseConnection() = default;

    // Opens `connectionString` ("DSN=...;UID=...;PWD=...") without prompting. On failure
    // `error` holds the diagnostics, or stays empty when the driver gave none.
    virtual bool Open(const std::string& connectionString, std::string& error) = 0;
    // Closes the connection; does nothing when none is open.
    virtual void Close() = 0;
    // Whether an open connection handle is held.
    virtual bool IsOpen() const = 0;

    // Executes a statement that returns no rows ({CALL ...}, UPDATE). A statement that
    // matches no row is not a failure.
    virtual bool Execute(const std::string& statement, std::string& error) = 0;
    // Runs a statement that returns rows through a static read-only cursor and hands each
    // row to `visit`.
    virtual QueryOutcome Query(const std::string& statement, const RowVisitor& visit,
                               std::string& error) = 0;
};

}  // namespace plexivar::db
