#include "service/database_reports.h"

// Placeholder bodies; the database link fills them in.
namespace plexivar {

bool RunDatabaseStartup(ProductionDatabase*, const ServiceSettings&, std::string& error) {
    error.clear();
    return true;
}
void ReportProcessState(ProductionDatabase*, const ServiceSettings&, bool) {}
bool ReconnectDatabase(ProductionDatabase*, const ServiceSettings&, std::string& error) {
    error.clear();
    return true;
}
void ReportJobStarted(ProductionDatabase*, const ServiceSettings&, const std::string&,
                      std::int64_t) {}
std::string LookupJobZone(ProductionDatabase*, const ServiceSettings&, std::int64_t) {
    return {};
}
void ReportJobSucceeded(ProductionDatabase*, const ServiceSettings&, const std::string&,
                        std::int64_t, const std::string&) {}
void ReportJobFailed(ProductionDatabase*, const ServiceSettings&, const std::string&,
                     std::int64_t, const std::string&) {}

}  // namespace plexivar
