// The HTTP server of the status endpoint: cpp-httplib's server with the limits a service
// on a plant network needs and the library does not give by itself.
//
// - One request per connection, answered with "Connection: close". The library gives every
//   open connection a worker thread of its pool; a kept-alive idle connection would hold a
//   worker, and a few dozen pollers would starve the rest.
// - The whole request (request line and headers) must arrive within `maxRequestBytes` and
//   `readDeadline`; the library alone limits one header line but not their number, and
//   waits its read time-out per read, so a client that sends a byte now and then, or
//   headers without end, would hold a worker for ever. Such a client gets "431 Request
//   Header Fields Too Large" or "408 Request Timeout" and is closed.
// - The response must be sent within `writeDeadline` (a client that never reads).
// - Its threads run at nice +10, below the spooler thread.
// - The listening socket is bound without SO_REUSEPORT (the library sets it by default,
//   which lets a second server share a port silently), so a port in use is refused.
#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

namespace plexivar {

class BoundedHttpServer : public httplib::Server {
  public:
    struct Limits {
        std::size_t maxRequestBytes = 16 * 1024;
        std::chrono::milliseconds readDeadline{5000};
        std::chrono::milliseconds writeDeadline{10000};
    };

    explicit BoundedHttpServer(Limits limits);

    // Listens on the numeric IPv4 or IPv6 `address` at `port` (0: any free port). Returns
    // the port, or -1 with `error` saying why ("Address already in use (errorcode 98)").
    int Listen(const std::string& address, int port, std::string& error);
    // Serves connections until Shutdown; call after a successful Listen. The calling
    // thread and the worker threads run at a lower priority (nice +10) than the service.
    void Serve();
    // Stops accepting, and makes requests under way give up within 100 ms.
    void Shutdown();

  private:
    bool process_and_close_socket(socket_t sock) override;

    Limits limits_;
    std::atomic<bool> stopping_{false};
};

}  // namespace plexivar
