// What a spooler must satisfy before "Apply" takes it into the folder table, checked in
// this order; the first failure is the message shown:
//   0. an input folder is given ("Input folder name required"): an empty one would make
//      the spooler serve the program directory, ini file and all;
//   1. (new and copied spoolers) no listed spooler has the same input folder, ignoring
//      case ("Input folder already exists<folder>");
//   2. an output folder is given ("Output folder name required");
//   3. with "Move original file to archive folder", an archive folder is given ("Output
//      copy name required");
//   4. with colour detection by file name, a file name definition is given ("Naming
//      convention required for color detection<input folder>").
#pragma once

#include <string>
#include <vector>

#include "service/config/settings.h"

namespace plexivar::ui {

// "" when `spooler` passes; `checkDuplicate` is false for an edited spooler.
std::string CheckSpooler(const SpoolerSettings& spooler, const std::vector<SpoolerSettings>& listed,
                         bool checkDuplicate);

// The first listed spooler whose input folder equals `folder` ignoring case, or -1.
int FindSpooler(const std::vector<SpoolerSettings>& listed, const std::string& folder);

}  // namespace plexivar::ui
