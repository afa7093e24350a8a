// What a running process holds, as /proc shows it: open descriptors, threads and resident
// memory. The soak compares them after the first files and at the end.
#pragma once

#include <sys/types.h>

namespace plexivar::testing {

struct ServiceUsage {
    int descriptors = -1;
    int threads = -1;
    long residentKiB = -1;

    // -1 in each field that could not be read.
    static ServiceUsage Of(pid_t pid);
};

}  // namespace plexivar::testing
