// The service's metrics in the Prometheus text exposition format (version 0.0.4): job
// counters by spooler and status, a histogram of job seconds, files waiting, spooler
// running, last delivery time per spooler, database and engine state.
#pragma once

#include <string>

#include "service/status/status_snapshot.h"

namespace plexivar {

inline constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

std::string MetricsText(const StatusSnapshot& snapshot, const ServiceHealth& health);

}  // namespace plexivar
