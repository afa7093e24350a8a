// Load for the status endpoint: N clients, each asking for /metrics, /api/jobs, / and
// /api/spoolers in turn with a pause between requests, for a number of seconds or until a
// file exists. Prints the requests, failures, rate and latency percentiles.
//
//   status_poll --port P [--clients 50] [--interval-ms 100] [--seconds 10 | --until FILE]
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    int port = 0;
    int clients = 50;
    int intervalMs = 100;
    int seconds = 10;
    std::string until;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--port")
            o.port = std::atoi(value);
        else if (key == "--clients")
            o.clients = std::atoi(value);
        else if (key == "--interval-ms")
            o.intervalMs = std::atoi(value);
        else if (key == "--seconds")
            o.seconds = std::atoi(value);
        else if (key == "--until")
            o.until = value;
        else
            return false;
    }
    return o.port > 0 && o.clients > 0 && argc % 2 == 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fprintf(stderr,
                     "usage: status_poll --port P [--clients N] [--interval-ms M] [--seconds S | "
                     "--until FILE]\n");
        return 2;
    }
    const char* paths[] = {"/metrics", "/api/jobs", "/", "/api/spoolers"};
    std::atomic<bool> stop{false};
    std::atomic<long> failures{0};
    std::mutex mutex;
    std::vector<double> latencies;  // milliseconds
    std::vector<std::thread> clients;
    const auto start = Clock::now();
    for (int c = 0; c < o.clients; ++c) {
        clients.emplace_back([&, c] {
            std::vector<double> mine;
            httplib::Client client("127.0.0.1", o.port);
            client.set_read_timeout(30);
            for (int i = c; !stop.load(); ++i) {
                const auto t0 = Clock::now();
                const auto r = client.Get(paths[i % 4]);
                mine.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
                if (!r || r->status != 200)
                    ++failures;
                if (o.intervalMs > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(o.intervalMs));
            }
            std::lock_guard lock(mutex);
            latencies.insert(latencies.end(), mine.begin(), mine.end());
        });
    }
    while (!stop.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const bool timeUp =
            o.until.empty() && Clock::now() - start >= std::chrono::seconds(o.seconds);
        if (timeUp || (!o.until.empty() && access(o.until.c_str(), F_OK) == 0))
            stop = true;
    }
    for (std::thread& t : clients) t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::sort(latencies.begin(), latencies.end());
    auto at = [&](double q) {
        return latencies.empty()
                   ? 0.0
                   : latencies[std::min(
                         latencies.size() - 1,
                         static_cast<std::size_t>(q * static_cast<double>(latencies.size())))];
    };
    std::printf(
        "requests %zu failures %ld rate %.0f/s latency ms p50 %.1f p95 %.1f p99 %.1f max %.1f\n",
        latencies.size(), failures.load(), static_cast<double>(latencies.size()) / seconds, at(0.5),
        at(0.95), at(0.99), latencies.empty() ? 0.0 : latencies.back());
    return failures.load() == 0 ? 0 : 1;
}
