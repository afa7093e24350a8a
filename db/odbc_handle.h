// Ownership of ODBC handles (environment, connection, statement) and the text of their
// diagnostics. Every handle the database link allocates lives in an OdbcHandle and is
// freed when it goes out of scope, on every path.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <utility>

namespace plexivar::db {

class OdbcHandle {
public:
    OdbcHandle() = default;
    ~OdbcHandle() { Reset(); }
    OdbcHandle(OdbcHandle&& other) noexcept
        : type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}
    OdbcHandle& operator=(OdbcHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            type_ = other.type_;
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    // Allocates a handle of `type` (SQL_HANDLE_ENV, _DBC or _STMT) below `parent`
    // (SQL_NULL_HANDLE for an environment). On failure the result is empty and `error`
    // holds the parent's diagnostics.
    static OdbcHandle Allocate(SQLSMALLINT type, SQLHANDLE parent, SQLSMALLINT parentType,
                               std::string& error);

    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }
    explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }
    // Frees the handle (errors of the free are of no use to anyone and are ignored).
    void Reset();

private:
    OdbcHandle(SQLSMALLINT type, SQLHANDLE handle) : type_(type), handle_(handle) {}

    SQLSMALLINT type_ = SQL_HANDLE_ENV;
    SQLHANDLE handle_ = nullptr;
};

// The diagnostic records of `handle` as one line: each record's message followed by
// " (SQLSTATE xxxxx)", records separated by "; ", line breaks inside messages turned into
// blanks. "" when the handle holds no record.
std::string DiagnosticText(SQLSMALLINT type, SQLHANDLE handle);
inline std::string DiagnosticText(const OdbcHandle& handle) {
    return DiagnosticText(handle.type(), handle.get());
}

// The error text of a failed call on `handle`: its diagnostics, or, when the driver left
// none, "<call> failed (return code N)" so that a failure never reads as an empty text.
std::string CallFailureText(const OdbcHandle& handle, const char* call, SQLRETURN rc);

}  // namespace plexivar::db
