// plexivar --db-check
#pragma once

#include <iosfwd>

namespace plexivar {

// Loads "plexivar.ini" from the current directory and tries its production-database data
// source (DSN, DSNuser, DSNpw): connects, loads the location names and probes table Log
// for its FileName column, printing what it found or the exact error text. Registers no
// process and changes nothing in the database. Returns 0 when every step worked, 1
// otherwise.
int RunDbCheckCommand(std::ostream& out, std::ostream& err);

}  // namespace plexivar
