#include "tests/service/status/status_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace plexivar::testing {
namespace {

sockaddr_in LoopbackAddress(const std::string& address, int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
    return addr;
}

}  // namespace

int FreeLoopbackPort() {
    const platform::UniqueFd fd(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr = LoopbackAddress("127.0.0.1", 0);
    socklen_t length = sizeof(addr);
    if (!fd || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&addr), &length) != 0)
        return 0;
    return ntohs(addr.sin_port);
}

httplib::Result Fetch(int port, const std::string& path, const httplib::Headers& headers,
                      const std::string& address) {
    httplib::Client client(address, port);
    client.set_connection_timeout(10);
    client.set_read_timeout(10);
    client.set_write_timeout(10);
    return client.Get(path, headers);
}

RawConnection::RawConnection(const std::string& address, int port, int receiveBuffer)
    : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    if (receiveBuffer > 0)
        setsockopt(fd_.get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer));
    const sockaddr_in addr = LoopbackAddress(address, port);
    if (::connect(fd_.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) {
        error_ = errno;
        fd_.reset();
    }
}

bool RawConnection::Send(const std::string& data) {
    std::size_t sent = 0;
    while (fd_ && sent < data.size()) {
        const ssize_t n = ::send(fd_.get(), data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return fd_ && sent == data.size();
}

std::string RawConnection::ReadUntilClosed(std::chrono::milliseconds limit) {
    std::string data;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char buffer[65536];
    while (fd_ && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd_.get(), POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const ssize_t n = ::recv(fd_.get(), buffer, sizeof(buffer), 0);
        if (n <= 0)
            break;  // closed, or reset after the answer
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

int StatusCodeOf(const std::string& answer) {
    if (answer.rfind("HTTP/1.1 ", 0) != 0 || answer.size() < 12)
        return 0;
    return std::atoi(answer.substr(9, 3).c_str());
}

}  // namespace plexivar::testing
