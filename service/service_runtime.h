// The service as a program runs it, with or without a window: the engine binding, the
// settings, the run flags, start/stop and the automatic start, wired to one context. The
// window and the headless mode each create one and differ only in how they show things
// (the OperatorView) and when they start the spoolers.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "service/autostart.h"
#include "service/engine_link/engine_link.h"
#include "service/run_flags.h"
#include "service/service_context.h"
#include "service/spooler_control.h"

namespace plexivar {

class ServiceRuntime {
public:
    // Uses the process-wide settings; folders are resolved against `programDir`.
    explicit ServiceRuntime(std::string programDir,
                            platform::Clock& clock = platform::SystemClock());
    ~ServiceRuntime();
    ServiceRuntime(const ServiceRuntime&) = delete;
    ServiceRuntime& operator=(const ServiceRuntime&) = delete;

    // Binds the engine found in `engineFolder` (or on the library path), showing its
    // messages as message boxes, then loads the settings and logs their warnings.
    void Initialise(const std::string& engineFolder);
    // The database start-up, when LogToDatabase is set and `database` is given. False
    // (after showing "Database error - <text>") when it failed; the automatic start must
    // then not run.
    bool StartDatabase(ProductionDatabase* database);
    // Starts the automatic-start thread.
    void StartAutostart() { autostart_.StartThread(); }
    // Ends the automatic start, stops the spoolers (a job under way finishes first) and
    // waits 250 ms.
    void ShutDown();

    SpoolerControl& control() { return control_; }
    RunFlags& flags() { return flags_; }
    Settings& settings() { return context_.settings; }
    const EngineLink& engine() const { return engine_; }
    ServiceContext& context() { return context_; }
    void SetHeartbeat(std::function<void()> heartbeat) { context_.heartbeat = std::move(heartbeat); }
    // Observers of scans and jobs; set before the spoolers start.
    void SetEvents(ServiceEvents* events) { context_.events = events; }

private:
    // Order matters: the context refers to the members above it, start/stop to the context,
    // the automatic start to both; they go away in the reverse order.
    EngineLink engine_;
    RunFlags flags_;
    ServiceContext context_;
    SpoolerControl control_;
    Autostart autostart_;
};

}  // namespace plexivar
