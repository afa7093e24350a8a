// A one-line progress bar on a terminal; silent when standard error is not a terminal
// (logs, pipes, benchmarks).
#pragma once

namespace plexivar::tools {

// Called by the engine with the percentage reached; 0 after the start clears the bar.
extern "C" int ShowProgress(int percent);

// Whether the bar is drawn (standard error is a terminal); fixed at the first call.
bool ProgressBarEnabled();

}  // namespace plexivar::tools
