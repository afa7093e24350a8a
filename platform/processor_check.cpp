#include "platform/processor_check.h"

namespace plexivar::platform {

bool ProcessorSupportsEngine() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2") != 0;
#else
    return true;
#endif
}

}  // namespace plexivar::platform
