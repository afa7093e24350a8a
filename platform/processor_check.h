// Whether this processor runs the instructions the engine is built for.
#pragma once

namespace plexivar::platform {

// SSE2 (the x86-64 baseline the engine is compiled for). Always true on other processors,
// for which the engine is built without such extensions.
bool ProcessorSupportsEngine();

}  // namespace plexivar::platform
