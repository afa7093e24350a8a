// The configuration the command-line commands look at: plexivar.ini in the current
// directory, read as the service reads it at start-up.
#pragma once

#include <iosfwd>
#include <string>

#include "service/config/settings.h"

namespace plexivar {

// Loads the ini file of the current directory into `settings`, printing its warnings to
// `err`, and returns the directory. "" (after saying so) when the current directory cannot
// be determined; `settings` then keeps its values.
std::string LoadCurrentSettings(Settings& settings, std::ostream& err);

}  // namespace plexivar
