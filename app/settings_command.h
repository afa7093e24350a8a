// plexivar --print-settings
#pragma once

#include <iosfwd>

namespace plexivar {

// Loads "plexivar.ini" from the current directory exactly as the service does at start-up
// and prints every key with its effective value as ini text. Changes no file.
int RunPrintSettings(std::ostream& out, std::ostream& err);

}  // namespace plexivar
