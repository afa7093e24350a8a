// The ODBC connection string of a data source, user and password.
#pragma once

#include <string>

namespace plexivar::db {

// "DSN=<dsn>;UID=<user>;PWD=<password>". A value that would end its attribute early or be
// read differently (a ';', braces, blanks at either end) is wrapped in braces with each
// '}' doubled, which is how ODBC quotes attribute values; other values stand as they are.
std::string BuildConnectionString(const std::string& dsn, const std::string& user,
                                  const std::string& password);

// The connection string as error texts show it: a password that is set reads "********",
// as everywhere else the program shows settings to a person.
std::string ShownConnectionString(const std::string& dsn, const std::string& user,
                                  const std::string& password);

}  // namespace plexivar::db
