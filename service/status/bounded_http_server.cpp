#include "service/status/bounded_http_server.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/c_locale.h"
#include "platform/unique_fd.h"

namespace plexivar {
namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Longest single wait, so that a shut-down is noticed soon.
constexpr milliseconds kWaitSlice{100};
// A refused request may still be arriving; its rest is read (and dropped) for this long or
// up to this many bytes before the socket closes, so that the client gets the answer
// instead of a connection reset.
constexpr milliseconds kDrainTime{500};
constexpr std::size_t kDrainBytes = 1 << 20;
// Pending connections the kernel queues while the workers are busy (the library's 5 would
// make a burst of pollers wait for SYN retransmissions).
constexpr int kListenBacklog = 128;
// Bytes received from the socket at a time.
constexpr std::size_t kReadBlock = 4096;

std::string SystemError(int error) {
    return platform::Format("%s (errorcode %d)", std::strerror(error), error);
}

void AddressOf(int fd, bool peer, std::string& ip, int& port) {
    sockaddr_storage addr{};
    socklen_t length = sizeof(addr);
    auto* raw = reinterpret_cast<sockaddr*>(&addr);
    if ((peer ? getpeername(fd, raw, &length) : getsockname(fd, raw, &length)) != 0)
        return;
    char host[INET6_ADDRSTRLEN] = {};
    if (addr.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&addr);
        inet_ntop(AF_INET, &in->sin_addr, host, sizeof(host));
        port = ntohs(in->sin_port);
    } else if (addr.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&addr);
        inet_ntop(AF_INET6, &in6->sin6_addr, host, sizeof(host));
        port = ntohs(in6->sin6_port);
    }
    ip = host;
}

// The socket of one connection as the library reads and writes it, with the limits of the
// request and its answer. Every wait is cut into slices so that a shut-down ends it.
class DeadlineStream final : public httplib::Stream {
  public:
    DeadlineStream(int fd, const BoundedHttpServer::Limits& limits,
                   const std::atomic<bool>& stopping)
        : fd_(fd),
          limits_(limits),
          stopping_(stopping),
          budget_(limits.maxRequestBytes),
          readDeadline_(SteadyClock::now() + limits.readDeadline) {}

    bool is_readable() const override {
        return next_ < buffer_.size() || Wait(POLLIN, readDeadline_);
    }
    bool is_writable() const override { return refused_ || Wait(POLLOUT, WriteDeadline()); }

    // The library reads the request line and headers one byte per call: the stream receives
    // in blocks and hands them out from its buffer.
    ssize_t read(char* ptr, size_t size) override {
        if (refused_)
            return -1;
        if (next_ == buffer_.size()) {
            if (budget_ == 0) {
                Refuse("431 Request Header Fields Too Large",
                       "The request is larger than this server accepts.");
                return -1;
            }
            if (!Wait(POLLIN, readDeadline_)) {
                if (!stopping_.load())
                    Refuse("408 Request Timeout", "The request did not arrive in time.");
                return -1;
            }
            buffer_.resize(std::min(kReadBlock, budget_));
            const ssize_t n = ::recv(fd_, buffer_.data(), buffer_.size(), 0);
            buffer_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
            next_ = 0;
            if (n <= 0)
                return n;
            budget_ -= static_cast<std::size_t>(n);
        }
        const std::size_t count = std::min(size, buffer_.size() - next_);
        std::memcpy(ptr, buffer_.data() + next_, count);
        next_ += count;
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* ptr, size_t size) override {
        // The library answers a request it could not read with its own 400; the stream has
        // already given the precise answer, so that one is dropped.
        if (refused_)
            return static_cast<ssize_t>(size);
        if (!Wait(POLLOUT, WriteDeadline()))
            return -1;
        return ::send(fd_, ptr, size, MSG_NOSIGNAL);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        AddressOf(fd_, true, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        AddressOf(fd_, false, ip, port);
    }
    socket_t socket() const override { return fd_; }

    bool refused() const { return refused_; }

  private:
    SteadyClock::time_point WriteDeadline() const {
        if (!writeStarted_) {
            writeDeadline_ = SteadyClock::now() + limits_.writeDeadline;
            writeStarted_ = true;
        }
        return writeDeadline_;
    }

    // Waits until the socket is ready for `events`; false at the deadline, on shut-down or
    // on a poll error.
    bool Wait(short events, SteadyClock::time_point deadline) const {
        for (;;) {
            if (stopping_.load())
                return false;
            const auto now = SteadyClock::now();
            if (now >= deadline)
                return false;
            const auto left =
                std::chrono::duration_cast<milliseconds>(deadline - now) + milliseconds(1);
            pollfd p{fd_, events, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(std::min(left, kWaitSlice).count()));
            if (ready > 0)
                return true;
            if (ready < 0 && errno != EINTR)
                return false;
        }
    }

    void Refuse(const char* status, const char* reason) {
        const std::string body = std::string(reason) + "\n";
        const std::string answer = platform::Format(
            "HTTP/1.1 %s\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: %zu\r\n"
            "Connection: close\r\n\r\n%s",
            status, body.size(), body.c_str());
        std::size_t sent = 0;
        while (sent < answer.size() && Wait(POLLOUT, WriteDeadline())) {
            const ssize_t n = ::send(fd_, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        refused_ = true;
    }

    int fd_;
    const BoundedHttpServer::Limits& limits_;
    const std::atomic<bool>& stopping_;
    std::size_t budget_;        // bytes the request may still take
    std::vector<char> buffer_;  // received, not yet handed out from next_ on
    std::size_t next_ = 0;
    SteadyClock::time_point readDeadline_;
    mutable SteadyClock::time_point writeDeadline_{};  // set by the first write
    mutable bool writeStarted_ = false;
    bool refused_ = false;
};

// Linux schedules threads one by one: a request thread at nice +10 gives way to the spooler
// thread whenever both want a core, so that even a flood of requests on a busy machine
// takes only the time the spooler leaves over. Raising the nice value needs no privilege.
bool LowerThisThreadsPriority() {
    return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10) == 0;
}

// Reads and drops what the client still sends, within kDrainTime and kDrainBytes.
void Drain(int fd) {
    const auto deadline = SteadyClock::now() + kDrainTime;
    char buffer[16384];
    std::size_t total = 0;
    while (total < kDrainBytes && SteadyClock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(kWaitSlice.count())) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0)
            return;
        total += static_cast<std::size_t>(n);
    }
}

// Why `address:port` cannot be listened on: the error of a plain bind of the same kind.
std::string ListenError(const std::string& address, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV | AI_PASSIVE;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (lookup != 0)
        return "not a numeric IP address";
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, &freeaddrinfo);
    const platform::UniqueFd fd(::socket(found->ai_family, found->ai_socktype, found->ai_protocol));
    if (!fd)
        return SystemError(errno);
    const int yes = 1;
    setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    if (::bind(fd.get(), found->ai_addr, found->ai_addrlen) != 0)
        return SystemError(errno);
    if (::listen(fd.get(), 1) != 0)
        return SystemError(errno);
    return "the address could not be bound";
}

}  // namespace

BoundedHttpServer::BoundedHttpServer(Limits limits) : limits_(limits) {
    // SO_REUSEADDR only: a restart may bind while old connections linger in TIME_WAIT, but
    // a port that another socket listens on stays refused.
    set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
}

int BoundedHttpServer::Listen(const std::string& address, int port, std::string& error) {
    // An empty host would bind every address of the machine.
    if (address.empty()) {
        error = "not a numeric IP address";
        return -1;
    }
    const int flags = AI_NUMERICHOST | AI_PASSIVE;
    const int bound = port == 0 ? bind_to_any_port(address, flags)
                                : (bind_to_port(address, port, flags) ? port : -1);
    if (bound < 0) {
        error = ListenError(address, port);
        return -1;
    }
    ::listen(svr_sock_, kListenBacklog);
    return bound;
}

void BoundedHttpServer::Shutdown() {
    stopping_ = true;
    stop();
}

void BoundedHttpServer::Serve() {
    LowerThisThreadsPriority();
    listen_after_bind();
}

bool BoundedHttpServer::process_and_close_socket(socket_t sock) {
    // Runs on the library's worker threads: each lowers its own priority once.
    static thread_local const bool lowered = LowerThisThreadsPriority();
    (void)lowered;
    bool ok = false;
    bool refused = false;
    {
        DeadlineStream stream(sock, limits_, stopping_);
        bool closed = false;
        ok = process_request(stream, true, closed, nullptr);
        refused = stream.refused();
    }
    ::shutdown(sock, SHUT_WR);
    if (refused)
        Drain(sock);
    ::close(sock);
    return ok;
}

}  // namespace plexivar
