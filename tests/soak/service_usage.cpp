#include "tests/soak/service_usage.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace plexivar::testing {

ServiceUsage ServiceUsage::Of(pid_t pid) {
    ServiceUsage usage;
    const std::string proc = "/proc/" + std::to_string(pid);
    std::error_code ec;
    int descriptors = 0;
    for (std::filesystem::directory_iterator it(proc + "/fd", ec), end; !ec && it != end; it.increment(ec))
        ++descriptors;
    if (!ec) usage.descriptors = descriptors;
    std::ifstream status(proc + "/status");
    for (std::string key; status >> key;) {
        if (key == "Threads:") status >> usage.threads;
        else if (key == "VmRSS:") status >> usage.residentKiB;
        status.ignore(1 << 16, '\n');
    }
    return usage;
}

}  // namespace plexivar::testing
