// plexivar --headless: the service without a window, as systemd runs it.
#pragma once

namespace plexivar {

struct HeadlessOptions {
    bool verbose = false;  // also print the poll wait's texts and job progress
};

// Runs the service in the program directory (the current directory) until SIGINT or
// SIGTERM, then shuts down in order (a job under way finishes) and returns 0. Returns 1
// when it cannot run: another copy runs, the processor is unsupported, the database
// start-up failed or no spooler is enabled (the reason is printed).
int RunHeadless(const HeadlessOptions& options);

}  // namespace plexivar
