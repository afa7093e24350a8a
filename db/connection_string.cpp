#include "db/connection_string.h"

namespace plexivar::db {
namespace {

std::string AttributeValue(const std::string& value) {
    const bool plain = value.find_first_of(";{}") == std::string::npos &&
                       (value.empty() || (value.front() != ' ' && value.back() != ' '));
    if (plain) return value;
    std::string quoted = "{";
    for (const char c : value) {
        quoted += c;
        if (c == '}') quoted += '}';
    }
    return quoted + "}";
}

}  // namespace

std::string BuildConnectionString(const std::string& dsn, const std::string& user,
                                  const std::string& password) {
    return "DSN=" + AttributeValue(dsn) + ";UID=" + AttributeValue(user) +
           ";PWD=" + AttributeValue(password);
}

std::string ShownConnectionString(const std::string& dsn, const std::string& user,
                                  const std::string& password) {
    return BuildConnectionString(dsn, user, password.empty() ? "" : "********");
}

}  // namespace plexivar::db
