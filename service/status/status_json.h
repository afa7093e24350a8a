// The status as JSON for plant IT's own tools: GET /api/jobs (the job list with its colours,
// oldest row first as in the operator window, and the totals) and GET /api/spoolers (run
// state, status and error line, progress, database and engine, one object per spooler).
// Times are UTC in ISO 8601 ("2026-12-09T08:00:00Z"); texts are UTF-8 (see DisplayText).
#pragma once

#include <string>

#include "service/status/status_snapshot.h"

namespace plexivar {

std::string JobsJson(const StatusSnapshot& snapshot);
std::string SpoolersJson(const StatusSnapshot& snapshot, const ServiceHealth& health);

// "2026-12-09T08:00:00Z".
std::string IsoUtc(std::time_t time);

}  // namespace plexivar
