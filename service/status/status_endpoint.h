// The read-only HTTP endpoint of the status: GET / (the status page), GET /metrics
// (Prometheus), GET /api/jobs and GET /api/spoolers (JSON). HEAD is answered like GET
// without a body; every other method gets 405, unknown paths 404. Nothing a request sends
// changes settings, files or state.
//
// Requests are answered from the latest published snapshot, with what the health probe
// last found. Bodies are rendered once per snapshot and shared by all requests that ask for
// the same one; every answer carries an ETag, and a request that names it in If-None-Match
// gets 304 without a body.
//
// Threads: one runs the listener (the library's accept loop and its worker pool), one
// samples the health probe every second. The probe may wait (the database link serialises
// its calls), so neither the spooler thread nor a request ever calls it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "service/status/bounded_http_server.h"
#include "service/status/status_snapshot.h"

namespace plexivar {

class StatusEndpoint {
  public:
    using SnapshotSource = std::function<std::shared_ptr<const StatusSnapshot>()>;
    using HealthProbe = std::function<ServiceHealth()>;

    // `snapshots` must return a snapshot (never null) from any thread without blocking.
    StatusEndpoint(SnapshotSource snapshots, HealthProbe probe,
                   BoundedHttpServer::Limits limits = {});
    ~StatusEndpoint();
    StatusEndpoint(const StatusEndpoint&) = delete;
    StatusEndpoint& operator=(const StatusEndpoint&) = delete;

    // Listens on the numeric `address` at `port` (0: any free port) and serves. False with
    // `error` ("cannot listen on 127.0.0.1:8080: Address already in use (errorcode 98)")
    // when it cannot listen; nothing runs then.
    bool Start(const std::string& address, int port, std::string& error);
    // The port listened on; 0 before a successful Start.
    int port() const { return port_; }
    // Stops listening, ends the requests under way (within 100 ms) and the probe thread.
    void Stop();

  private:
    // A response body rendered for one snapshot version, shared by the requests that want it.
    class RenderedBody {
      public:
        std::shared_ptr<const std::string> Get(std::uint64_t key,
                                               const std::function<std::string()>& render);

      private:
        std::mutex mutex_;
        std::uint64_t key_ = ~std::uint64_t{0};
        std::shared_ptr<const std::string> body_;
    };

    void Route();
    void SampleHealth();
    ServiceHealth Health() const;
    // Answers 304 when the request names `key`'s ETag, else the body rendered for `key`.
    void Answer(const httplib::Request& request, httplib::Response& response, std::uint64_t key,
                RenderedBody& cache, const char* contentType,
                const std::function<std::string(const std::string& etag)>& render);

    SnapshotSource snapshots_;
    HealthProbe probe_;
    BoundedHttpServer server_;
    RenderedBody page_, metrics_, jobs_, spoolers_;
    std::atomic<unsigned> health_{0};  // the last probe's answer, packed by PackHealth
    int port_ = 0;
    std::atomic<bool> serving_{false};  // the listener thread has not left Serve yet

    std::mutex probeMutex_;
    std::condition_variable probeWake_;
    bool probeStop_ = false;
    // Declared last: they start after everything above exists and are joined in Stop.
    std::thread listener_;
    std::thread prober_;
};

}  // namespace plexivar
