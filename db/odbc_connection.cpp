#include "db/odbc_connection.h"

#include <array>
#include <cstdint>

namespace plexivar::db {
namespace {

SQLPOINTER IntegerAttribute(SQLULEN value) {
    return reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(value));
}

// Reads column `column` of the current row as text; NULL reads as "". Long values come in
// several pieces, each ending in a terminator that is not part of the value.
bool ReadColumn(const OdbcHandle& statement, SQLUSMALLINT column, std::string& value,
                std::string& error) {
    value.clear();
    std::array<char, 512> buffer{};
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(statement.get(), column, SQL_C_CHAR, buffer.data(),
                                        static_cast<SQLLEN>(buffer.size()), &indicator);
        if (rc == SQL_NO_DATA) return true;  // every piece has been read
        if (!SQL_SUCCEEDED(rc)) {
            error = CallFailureText(statement, "SQLGetData", rc);
            return false;
        }
        if (indicator == SQL_NULL_DATA) return true;
        const bool truncated = indicator == SQL_NO_TOTAL ||
                               indicator >= static_cast<SQLLEN>(buffer.size());
        if (!truncated) {
            value.append(buffer.data(), static_cast<std::size_t>(indicator));
            return true;
        }
        value.append(buffer.data(), buffer.size() - 1);
    }
}

}  // namespace

bool OdbcConnection::Open(const std::string& connectionString, std::string& error) {
    error.clear();
    Close();
    if (!environment_) {
        environment_ = OdbcHandle::Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE, 0, error);
        if (!environment_) return false;
        const SQLRETURN rc = SQLSetEnvAttr(environment_.get(), SQL_ATTR_ODBC_VERSION,
                                           IntegerAttribute(SQL_OV_ODBC3), 0);
        if (!SQL_SUCCEEDED(rc)) {
            error = CallFailureText(environment_, "SQLSetEnvAttr", rc);
            environment_.Reset();
            return false;
        }
    }
    OdbcHandle connection =
        OdbcHandle::Allocate(SQL_HANDLE_DBC, environment_.get(), SQL_HANDLE_ENV, error);
    if (!connection) return false;
    // The login time-out bounds the connect; the connection time-out bounds other waits
    // of drivers that honour it. A driver that refuses either still connects.
    SQLSetConnectAttr(connection.get(), SQL_ATTR_LOGIN_TIMEOUT,
                      IntegerAttribute(static_cast<SQLULEN>(timeouts_.loginSeconds)), 0);
    SQLSetConnectAttr(connection.get(), SQL_ATTR_CONNECTION_TIMEOUT,
                      IntegerAttribute(static_cast<SQLULEN>(timeouts_.querySeconds)), 0);

    std::string input = connectionString;
    std::array<SQLCHAR, 1024> completed{};
    SQLSMALLINT completedLength = 0;
    const SQLRETURN rc = SQLDriverConnect(
        connection.get(), nullptr, reinterpret_cast<SQLCHAR*>(input.data()),
        static_cast<SQLSMALLINT>(input.size()), completed.data(),
        static_cast<SQLSMALLINT>(completed.size()), &completedLength, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        // An empty text tells the caller that the driver gave no diagnostics.
        error = DiagnosticText(connection);
        return false;
    }
    connection_ = std::move(connection);
    return true;
}

void OdbcConnection::Close() {
    if (!connection_) return;
    SQLDisconnect(connection_.get());
    connection_.Reset();
}

OdbcHandle OdbcConnection::NewStatement(std::string& error) {
    if (!connection_) {
        error = "No open database connection";
        return {};
    }
    OdbcHandle statement =
        OdbcHandle::Allocate(SQL_HANDLE_STMT, connection_.get(), SQL_HANDLE_DBC, error);
    if (statement) {
        SQLSetStmtAttr(statement.get(), SQL_ATTR_QUERY_TIMEOUT,
                       IntegerAttribute(static_cast<SQLULEN>(timeouts_.querySeconds)), 0);
    }
    return statement;
}

bool OdbcConnection::Execute(const std::string& statementText, std::string& error) {
    error.clear();
    OdbcHandle statement = NewStatement(error);
    if (!statement) return false;
    std::string text = statementText;
    SQLRETURN rc = SQLExecDirect(statement.get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                 static_cast<SQLINTEGER>(text.size()));
    // SQL_NO_DATA: an UPDATE that matched no row, which is not a failure.
    if (rc == SQL_NO_DATA) return true;
    if (!SQL_SUCCEEDED(rc)) {
        error = CallFailureText(statement, "SQLExecDirect", rc);
        return false;
    }
    // A procedure can report an error after its first result (a row count, say): walk
    // every result so that such an error is not lost.
    while ((rc = SQLMoreResults(statement.get())) != SQL_NO_DATA) {
        if (!SQL_SUCCEEDED(rc)) {
            error = CallFailureText(statement, "SQLMoreResults", rc);
            return false;
        }
    }
    return true;
}

QueryOutcome OdbcConnection::Query(const std::string& statementText, const RowVisitor& visit,
                                   std::string& error) {
    error.clear();
    OdbcHandle statement = NewStatement(error);
    if (!statement) return QueryOutcome::Failed;
    // A driver that cannot give a static read-only cursor substitutes the nearest it has
    // and says so with a warning; either way the rows are read front to back once.
    SQLSetStmtAttr(statement.get(), SQL_ATTR_CURSOR_TYPE, IntegerAttribute(SQL_CURSOR_STATIC),
                   0);
    SQLSetStmtAttr(statement.get(), SQL_ATTR_CONCURRENCY, IntegerAttribute(SQL_CONCUR_READ_ONLY),
                   0);
    std::string text = statementText;
    SQLRETURN rc = SQLExecDirect(statement.get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                 static_cast<SQLINTEGER>(text.size()));
    if (rc == SQL_NO_DATA) return QueryOutcome::NoResultSet;
    if (!SQL_SUCCEEDED(rc)) {
        error = CallFailureText(statement, "SQLExecDirect", rc);
        return QueryOutcome::Failed;
    }
    // A procedure may report row counts of its own statements before the rows it returns:
    // skip results without columns until one has them.
    SQLSMALLINT columns = 0;
    for (;;) {
        rc = SQLNumResultCols(statement.get(), &columns);
        if (!SQL_SUCCEEDED(rc)) {
            error = CallFailureText(statement, "SQLNumResultCols", rc);
            return QueryOutcome::Failed;
        }
        if (columns > 0) break;
        rc = SQLMoreResults(statement.get());
        if (rc == SQL_NO_DATA) return QueryOutcome::NoResultSet;
        if (!SQL_SUCCEEDED(rc)) {
            error = CallFailureText(statement, "SQLMoreResults", rc);
            return QueryOutcome::Failed;
        }
    }
    ResultRow row(static_cast<std::size_t>(columns));
    while ((rc = SQLFetch(statement.get())) != SQL_NO_DATA) {
        if (!SQL_SUCCEEDED(rc)) {
            error = CallFailureText(statement, "SQLFetch", rc);
            return QueryOutcome::Failed;
        }
        for (SQLSMALLINT c = 0; c < columns; ++c) {
            if (!ReadColumn(statement, static_cast<SQLUSMALLINT>(c + 1),
                            row[static_cast<std::size_t>(c)], error))
                return QueryOutcome::Failed;
        }
        if (!visit(row)) break;
    }
    return QueryOutcome::Rows;
}

}  // namespace plexivar::db
