#include "platform/icmp_echo.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "platform/file_ops.h"
#include "platform/unique_fd.h"

namespace plexivar::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kEchoRequest = 8;

std::uint16_t ReadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void WriteLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

bool IsErrorMessage(std::uint8_t type) {
    // Destination unreachable, source quench, redirect, time exceeded, parameter problem.
    return type == 3 || type == 4 || type == 5 || type == 11 || type == 12;
}

// Length of the IPv4 header at `data`, or 0 when it cannot be one.
std::size_t IpHeaderLength(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t length = static_cast<std::size_t>(data[0] & 0x0F) * 4;
    return (length >= 20 && length <= size) ? length : 0;
}

struct AddrInfoFree {
    void operator()(addrinfo* info) const { freeaddrinfo(info); }
};

// A dotted address, or the first IPv4 address of a name.
bool ResolveIpv4(const std::string& host, in_addr& address, std::string& error) {
    if (inet_pton(AF_INET, host.c_str(), &address) == 1)
        return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_RAW;
    addrinfo* raw = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &raw);
    std::unique_ptr<addrinfo, AddrInfoFree> list(raw);
    if (rc != 0 || !list || !list->ai_addr) {
        error = "Unable to resolve host name " + host +
                (rc != 0 ? std::string(" - ") + gai_strerror(rc) : "");
        return false;
    }
    address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr;
    return true;
}

std::string AddressText(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

std::string Failure(const char* what, int code) {
    return std::string(what) + ": " + SystemErrorText(code);
}

// Opens the ICMP socket the options allow; `datagram` tells which one it is.
UniqueFd OpenEchoSocket(EchoSockets choice, bool& datagram, std::string& error) {
    if (choice != EchoSockets::DatagramOnly) {
        UniqueFd fd(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
        if (fd) {
            datagram = false;
            return fd;
        }
        error = Failure("Raw ICMP socket refused", errno);
        if (choice == EchoSockets::RawOnly)
            return fd;
    }
    UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (fd) {
        datagram = true;
        return fd;
    }
    const std::string dgramError = Failure("ICMP datagram socket refused", errno);
    error = error.empty() ? dgramError : error + "; " + dgramError;
    return fd;
}

bool SetIntOption(int fd, int level, int name, int value, const char* what, std::string& error) {
    if (::setsockopt(fd, level, name, &value, sizeof value) == 0)
        return true;
    error = Failure(what, errno);
    return false;
}

}  // namespace

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < size; i += 2) sum += static_cast<std::uint32_t>((data[i] << 8) | data[i + 1]);
    if (i < size)
        sum += static_cast<std::uint32_t>(data[i] << 8);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::vector<std::uint8_t> BuildEchoRequest(std::uint16_t identifier, std::uint16_t sequence,
                                           std::uint32_t timeStamp, std::size_t dataSize) {
    dataSize = std::min(dataSize, kMaxEchoData);
    std::vector<std::uint8_t> packet(kEchoHeaderSize + dataSize, kEchoDataByte);
    packet[0] = kEchoRequest;
    packet[1] = 0;
    packet[2] = packet[3] = 0;
    WriteLe16(&packet[4], identifier);
    WriteLe16(&packet[6], sequence);
    WriteLe16(&packet[8], static_cast<std::uint16_t>(timeStamp & 0xFFFF));
    WriteLe16(&packet[10], static_cast<std::uint16_t>(timeStamp >> 16));
    const std::uint16_t sum = InternetChecksum(packet.data(), packet.size());
    packet[2] = static_cast<std::uint8_t>(sum >> 8);
    packet[3] = static_cast<std::uint8_t>(sum & 0xFF);
    return packet;
}

EchoAnswer ClassifyEchoDatagram(const std::uint8_t* data, std::size_t size, bool withIpHeader,
                                std::uint16_t identifier, std::uint16_t sequence) {
    EchoAnswer answer;
    std::size_t header = 0;
    if (withIpHeader) {
        header = IpHeaderLength(data, size);
        if (header == 0)
            return answer;
    }
    if (size < header + kEchoHeaderSize)
        return answer;
    const std::uint8_t* icmp = data + header;
    const std::uint8_t type = icmp[0];

    if (IsErrorMessage(type)) {
        // 8 bytes of ICMP header, then the IP header and first 8 bytes of our request.
        const std::uint8_t* quoted = icmp + 8;
        const std::size_t quotedSize = size - header - 8;
        const std::size_t quotedHeader = IpHeaderLength(quoted, quotedSize);
        if (quotedHeader == 0 || quotedSize < quotedHeader + 8)
            return answer;
        const std::uint8_t* request = quoted + quotedHeader;
        if (request[0] != kEchoRequest || ReadLe16(request + 4) != identifier ||
            ReadLe16(request + 6) != sequence)
            return answer;
        answer.verdict = EchoVerdict::Failure;
    } else {
        if (ReadLe16(icmp + 4) != identifier || ReadLe16(icmp + 6) != sequence)
            return answer;
        if (type == kEchoRequest)
            return answer;
        answer.verdict = type == kEchoReply ? EchoVerdict::Reply : EchoVerdict::Failure;
    }
    answer.type = type;
    answer.code = icmp[1];
    return answer;
}

std::uint32_t TickCount() {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

namespace {

// Binds the socket where needed and returns the identifier the requests must carry.
// A datagram socket writes its own identifier (its bound "port") into every request, so
// it is bound to ours; if another socket holds that one, the kernel picks one and we
// match whatever it chose. A raw socket is bound only to a requested source address.
bool BindEchoSocket(int fd, bool datagram, const std::string& source, std::uint16_t& identifier,
                    std::string& error) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (!source.empty() && !ResolveIpv4(source, address.sin_addr, error))
        return false;
    if (!datagram && source.empty())
        return true;

    std::uint8_t port[2];
    WriteLe16(port, identifier);
    std::memcpy(&address.sin_port, port, 2);
    int rc = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (rc != 0 && datagram && errno == EADDRINUSE) {
        address.sin_port = 0;
        rc = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    if (rc != 0) {
        error = Failure("Unable to bind the ICMP socket", errno);
        return false;
    }
    if (!datagram)
        return true;
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        error = Failure("Unable to read the ICMP socket address", errno);
        return false;
    }
    std::memcpy(port, &bound.sin_port, 2);
    identifier = ReadLe16(port);
    return true;
}

bool SetEchoOptions(int fd, const PingOptions& options, std::string& error) {
    return SetIntOption(fd, IPPROTO_IP, IP_TTL, options.timeToLive,
                        "Unable to set the time to live", error) &&
           SetIntOption(fd, IPPROTO_IP, IP_TOS, options.typeOfService,
                        "Unable to set the type of service", error) &&
           SetIntOption(fd, IPPROTO_IP, IP_MTU_DISCOVER,
                        options.dontFragment ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT,
                        "Unable to set the don't-fragment flag", error);
}

// Waits for the answer to the request sent at `sent`. Every datagram that is not ours
// restarts the time-out; all waits together end after maxWaitTimeouts time-outs.
bool AwaitEchoReply(int fd, bool datagram, const in_addr& target, std::uint16_t identifier,
                    const PingOptions& options, Clock::time_point sent, PingResult& out) {
    const auto timeout = std::chrono::milliseconds(std::max(options.timeoutMs, 0));
    const auto hardEnd = sent + timeout * std::max(options.maxWaitTimeouts, 1);
    auto deadline = sent + timeout;
    std::vector<std::uint8_t> buffer(kEchoReceiveBuffer);
    for (;;) {
        const auto now = Clock::now();
        const auto end = std::min(deadline, hardEnd);
        if (now >= end) {
            out.error = "No echo reply from " + out.address + " within " +
                        std::to_string(options.timeoutMs) + " ms";
            return false;
        }
        pollfd p{fd, POLLIN, 0};
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(end - now).count();
        const int ready = ::poll(&p, 1, static_cast<int>(waitMs));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0) {
            out.error = Failure("Waiting for the echo reply failed", errno);
            return false;
        }
        if (ready == 0)
            continue;  // the deadline test above reports the time-out

        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = ::recvfrom(fd, buffer.data(), buffer.size(), 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromLength);
        EchoAnswer answer;  // a failed receive counts as a foreign datagram
        if (n > 0)
            answer = ClassifyEchoDatagram(buffer.data(), static_cast<std::size_t>(n), !datagram,
                                          identifier, options.sequence);
        // A raw socket sees every ICMP message of the host: a reply must come from the target.
        if (answer.verdict == EchoVerdict::Reply && from.sin_addr.s_addr != target.s_addr)
            answer.verdict = EchoVerdict::Ignore;
        if (answer.verdict == EchoVerdict::Ignore) {
            deadline = Clock::now() + timeout;
            continue;
        }
        if (answer.verdict == EchoVerdict::Failure) {
            out.error = "ICMP answer type " + std::to_string(answer.type) + " code " +
                        std::to_string(answer.code) + " from " + AddressText(from.sin_addr) +
                        " instead of an echo reply";
            return false;
        }
        out.roundTripMs = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        return true;
    }
}

}  // namespace

bool PingHost(const PingOptions& options, PingResult* result) {
    PingResult local;
    PingResult& out = result ? *result : local;
    out = PingResult{};

    in_addr target{};
    if (!ResolveIpv4(options.host, target, out.error))
        return false;
    out.address = AddressText(target);

    bool datagram = false;
    UniqueFd fd = OpenEchoSocket(options.sockets, datagram, out.error);
    if (!fd)
        return false;
    out.error.clear();
    out.datagramSocket = datagram;

    auto identifier = static_cast<std::uint16_t>(::getpid() & 0xFFFF);
    if (!BindEchoSocket(fd.get(), datagram, options.sourceAddress, identifier, out.error) ||
        !SetEchoOptions(fd.get(), options, out.error))
        return false;

    const std::vector<std::uint8_t> request =
        BuildEchoRequest(identifier, options.sequence, TickCount(), options.dataSize);
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr = target;
    const auto sent = Clock::now();
    if (::sendto(fd.get(), request.data(), request.size(), 0,
                 reinterpret_cast<const sockaddr*>(&destination),
                 sizeof destination) != static_cast<ssize_t>(request.size())) {
        out.error = Failure("Unable to send the echo request", errno);
        return false;
    }
    return AwaitEchoReply(fd.get(), datagram, target, identifier, options, sent, out);
}

}  // namespace plexivar::platform
