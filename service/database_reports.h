// What the service tells the production database, and when: the start-up sequence, the
// process state at start and stop, a heartbeat per spooler visit, the reconnect pass, and
// the reports of each job. Every function does nothing when `db` is null or
// `LogToDatabase` is 0, and none of them ever holds up a file: results are only returned
// where the caller shows them, and a job report that could not be sent is logged.
#pragma once

#include <cstdint>
#include <string>

#include "service/config/settings.h"
#include "service/production_database.h"

namespace plexivar {

// Connect, load the location names, register the process, probe Log.FileName. False with
// the text to show as "Database error - %s" when the connection or the registration
// failed; the caller then skips the automatic start.
bool RunDatabaseStartup(ProductionDatabase* db, const ServiceSettings& settings,
                        std::string& error);

// UpdateProcess(ProcessId, 1, 1, "", "") after a start and at every spooler visit, and
// (ProcessId, 0, 0, "", "") after a stop and when the spooler thread ends.
void ReportProcessState(ProductionDatabase* db, const ServiceSettings& settings, bool running);

// The reconnect pass: ConnectWith the current credentials. False with the database's
// error text when it failed.
bool ReconnectDatabase(ProductionDatabase* db, const ServiceSettings& settings,
                       std::string& error);

// A job starts on `fileName`: process heartbeat with the file name, external status and
// page-table status "running" where configured and the number is usable (> 1).
void ReportJobStarted(ProductionDatabase* db, const ServiceSettings& settings,
                      const std::string& fileName, std::int64_t flatSeparation);

// The zone of a plate from the page table ("" when none, or the look-up failed). The
// caller asks only for spoolers whose ZoneDetection is 1; the number must be usable (> 1).
std::string LookupJobZone(ProductionDatabase* db, const ServiceSettings& settings,
                          std::int64_t flatSeparation);

// A job ended well. A non-empty `warning` (the plate was delivered, but a finishing step
// such as margins failed) sends the warning status code with that text instead of the OK
// status code to the page table.
void ReportJobSucceeded(ProductionDatabase* db, const ServiceSettings& settings,
                        const std::string& fileName, std::int64_t flatSeparation,
                        const std::string& warning);

// A job failed with `message` (the text of the job's comment).
void ReportJobFailed(ProductionDatabase* db, const ServiceSettings& settings,
                     const std::string& fileName, std::int64_t flatSeparation,
                     const std::string& message);

}  // namespace plexivar
