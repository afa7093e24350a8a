// Helpers for the status endpoint's tests: loopback ports, HTTP requests through
// cpp-httplib's client, and a raw connection for requests no well-behaved client sends.
#pragma once

#include <httplib.h>

#include <chrono>
#include <string>

#include "platform/unique_fd.h"

namespace plexivar::testing {

// A TCP port on 127.0.0.1 that nothing listens on at the moment of the call.
int FreeLoopbackPort();

// GET `path` from `address`:`port`, with a 10 s limit per step.
httplib::Result Fetch(int port, const std::string& path, const httplib::Headers& headers = {},
                      const std::string& address = "127.0.0.1");

// One TCP connection written and read byte by byte as a test wants.
class RawConnection {
  public:
    // Connects; `error` holds errno when it fails (ECONNREFUSED when nothing listens).
    // A `receiveBuffer` above 0 shrinks the socket's receive buffer to about that many
    // bytes, so that a client that does not read soon stops the sender.
    RawConnection(const std::string& address, int port, int receiveBuffer = 0);
    bool connected() const { return static_cast<bool>(fd_); }
    int error() const { return error_; }

    // Sends all of `data`; false when the peer closed or reset the connection.
    bool Send(const std::string& data);
    // Reads until the peer closes or `limit` passes; what arrived (possibly nothing).
    std::string ReadUntilClosed(std::chrono::milliseconds limit = std::chrono::seconds(10));

  private:
    platform::UniqueFd fd_;
    int error_ = 0;
};

// The status code of a raw HTTP answer ("HTTP/1.1 431 ..." -> 431), 0 when there is none.
int StatusCodeOf(const std::string& answer);

}  // namespace plexivar::testing
