// What the spooler thread, the per-file job and start/stop work with: the settings, the
// clock, the engine, the database (optional) and the run flags. One context lives as long
// as the program; tests build their own with a clock they drive.
#pragma once

#include <functional>
#include <string>

#include "platform/clock.h"
#include "service/config/settings.h"
#include "service/engine_link/engine_link.h"
#include "service/production_database.h"
#include "service/run_flags.h"
#include "service/service_events.h"

namespace plexivar {

struct ServiceContext {
    Settings& settings;
    platform::Clock& clock;
    // The spooler thread loads it again when it cannot resample (EngineLink::Reload).
    EngineLink& engine;
    RunFlags& flags;
    // Folders in the settings that are not absolute are taken relative to this one.
    std::string programDir;
    // Null when the database link is not in use.
    ProductionDatabase* database = nullptr;
    // Called at the start of every pass and while the engine works: the service manager's
    // watchdog is fed from here. May be empty.
    std::function<void()> heartbeat;
    // Observers of scans and jobs (a status page); may be null.
    ServiceEvents* events = nullptr;

    // `folder` resolved against the program directory.
    std::string Resolve(const std::string& folder) const;
    const ServiceSettings& service() const { return settings.service; }
};

}  // namespace plexivar
