#include "app/database_factory.h"

#include "db/database_manager.h"
#include "db/odbc_connection.h"

namespace plexivar {

// The manager reads its reporting keys from `settings` at each statement, so the settings
// (the process-wide record) outlive it. Nothing touches ODBC until the first connect.
std::unique_ptr<ProductionDatabase> MakeProductionDatabase(const Settings& settings) {
    return std::make_unique<db::DatabaseManager>(settings.service,
                                                 std::make_unique<db::OdbcConnection>());
}

}  // namespace plexivar
