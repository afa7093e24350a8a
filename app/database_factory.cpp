#include "app/database_factory.h"

namespace plexivar {

std::unique_ptr<ProductionDatabase> MakeProductionDatabase(const Settings&) { return nullptr; }

}  // namespace plexivar
