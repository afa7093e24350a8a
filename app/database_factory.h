// The production database the program reports to, when the database link is built in.
#pragma once

#include <memory>

#include "service/config/settings.h"
#include "service/production_database.h"

namespace plexivar {

// A database link for `settings` (not yet connected), or null when none is built in.
std::unique_ptr<ProductionDatabase> MakeProductionDatabase(const Settings& settings);

}  // namespace plexivar
