#include "service/status/status_snapshot.h"

namespace plexivar {

void JobSecondsHistogram::Add(double seconds) {
    std::size_t i = 0;
    while (i < kBounds.size() && seconds > kBounds[i]) ++i;
    ++counts[i];
    sum += seconds;
    ++count;
}

const char* SpoolerStateName(SpoolerState state) {
    switch (state) {
        case SpoolerState::Idle:
            return "idle";
        case SpoolerState::Searching:
            return "searching";
        case SpoolerState::Disabled:
            return "disabled";
        case SpoolerState::Stopped:
            return "stopped";
    }
    return "idle";
}

SpoolerState SpoolerStatus::State(bool running) const {
    if (!enabled)
        return SpoolerState::Disabled;
    if (!running)
        return SpoolerState::Stopped;
    return searching ? SpoolerState::Searching : SpoolerState::Idle;
}

}  // namespace plexivar
