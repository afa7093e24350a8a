// The automatic start: while the spoolers are stopped, they start again by themselves once
// more than `AutoStartMinutes` whole minutes have passed since the last start, stop or
// settings change, and the status line counts down meanwhile. Held off while a settings
// dialog is open.
#pragma once

#include <thread>

#include "service/service_context.h"
#include "service/spooler_control.h"

namespace plexivar {

class Autostart {
public:
    Autostart(ServiceContext& context, SpoolerControl& control)
        : context_(context), control_(control) {}
    // Sets the exit flag and waits for the thread.
    ~Autostart();
    Autostart(const Autostart&) = delete;
    Autostart& operator=(const Autostart&) = delete;

    void StartThread();
    // One check (what the thread does every 3.7 s); exposed for tests.
    void Check();

private:
    ServiceContext& context_;
    SpoolerControl& control_;
    std::thread thread_;
};

}  // namespace plexivar
