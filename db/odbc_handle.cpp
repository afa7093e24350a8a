#include "db/odbc_handle.h"

#include <array>

namespace plexivar::db {

OdbcHandle OdbcHandle::Allocate(SQLSMALLINT type, SQLHANDLE parent, SQLSMALLINT parentType,
                                std::string& error) {
    SQLHANDLE handle = SQL_NULL_HANDLE;
    const SQLRETURN rc = SQLAllocHandle(type, parent, &handle);
    if (!SQL_SUCCEEDED(rc)) {
        error = parent == SQL_NULL_HANDLE ? std::string() : DiagnosticText(parentType, parent);
        if (error.empty())
            error = "SQLAllocHandle failed (return code " + std::to_string(rc) + ")";
        return {};
    }
    return OdbcHandle(type, handle);
}

void OdbcHandle::Reset() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
    handle_ = nullptr;
}

std::string DiagnosticText(SQLSMALLINT type, SQLHANDLE handle) {
    std::string text;
    if (handle == SQL_NULL_HANDLE) return text;
    // A handful of records says everything; drivers sometimes repeat one many times.
    constexpr SQLSMALLINT kMaxRecords = 8;
    for (SQLSMALLINT record = 1; record <= kMaxRecords; ++record) {
        std::array<SQLCHAR, SQL_SQLSTATE_SIZE + 1> state{};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::array<SQLCHAR, 1024> small{};
        SQLRETURN rc = SQLGetDiagRec(type, handle, record, state.data(), &native, small.data(),
                                     static_cast<SQLSMALLINT>(small.size()), &length);
        if (!SQL_SUCCEEDED(rc)) break;
        std::string message(reinterpret_cast<const char*>(small.data()));
        if (length >= static_cast<SQLSMALLINT>(small.size())) {
            // Longer than the first buffer: ask again with room for all of it.
            std::string whole(static_cast<std::size_t>(length) + 1, '\0');
            rc = SQLGetDiagRec(type, handle, record, state.data(), &native,
                               reinterpret_cast<SQLCHAR*>(whole.data()),
                               static_cast<SQLSMALLINT>(whole.size()), &length);
            if (SQL_SUCCEEDED(rc)) message.assign(whole.c_str());
        }
        for (char& c : message)
            if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        while (!message.empty() && message.back() == ' ') message.pop_back();
        if (!text.empty()) text += "; ";
        text += message + " (SQLSTATE " + reinterpret_cast<const char*>(state.data()) + ")";
    }
    return text;
}

std::string CallFailureText(const OdbcHandle& handle, const char* call, SQLRETURN rc) {
    std::string text = DiagnosticText(handle);
    if (text.empty()) text = std::string(call) + " failed (return code " + std::to_string(rc) + ")";
    return text;
}

}  // namespace plexivar::db
