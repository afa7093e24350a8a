// plexivar --detect N FILE
#pragma once

#include <iosfwd>
#include <string>

namespace plexivar {

// Loads "plexivar.ini" from the current directory as the service does and runs separation
// detection of spooler `spooler` on FILE, printing "Color: ", "Zone: ", "Xcorrection: ",
// "Ycorrection: " and "FlatSeparation: " lines. In the sub-folder mode the colour is the
// name of FILE's folder. A dry run: an information file is read but never created,
// changed or deleted. Returns 0, 1 when FILE does not exist, 2 for a spooler number that
// is not configured.
int RunDetectCommand(int spooler, const std::string& file, std::ostream& out, std::ostream& err);

}  // namespace plexivar
