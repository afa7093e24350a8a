// One ICMP echo request to an IPv4 host and the wait for its reply.
//
// The request is 12 header bytes followed by the data:
//   0 type (8)   1 code (0)   2..3 checksum (RFC 1071, network order)
//   4..5 identifier   6..7 sequence   8..11 time stamp (milliseconds since boot)
// Identifier, sequence and time stamp are written little-endian. The data bytes are all
// 0x45 ('E').
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plexivar::platform {

inline constexpr std::size_t kEchoHeaderSize = 12;
inline constexpr std::size_t kMaxEchoData = 65500;
inline constexpr std::uint8_t kEchoDataByte = 0x45;
// Receive buffer for one datagram (IP header included on a raw socket).
inline constexpr std::size_t kEchoReceiveBuffer = 65532;

// The Internet checksum (RFC 1071) of `size` bytes: the one's complement of the
// one's-complement sum of the 16-bit big-endian words, an odd last byte padded with zero.
// Stored big-endian into a packet whose checksum field was 0, the packet sums to 0xFFFF.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size);

// The echo request with `dataSize` data bytes (cut to kMaxEchoData), checksum filled in.
std::vector<std::uint8_t> BuildEchoRequest(std::uint16_t identifier, std::uint16_t sequence,
                                           std::uint32_t timeStamp, std::size_t dataSize);

enum class EchoVerdict {
    Ignore,  // not the answer to our request: keep waiting
    Reply,   // the echo reply to our request
    Failure  // an ICMP answer to our request that is no echo reply (unreachable, ...)
};

struct EchoAnswer {
    EchoVerdict verdict = EchoVerdict::Ignore;
    std::uint8_t type = 0;  // ICMP type and code of the answer (Reply, Failure)
    std::uint8_t code = 0;
};

// Classifies one received datagram. `withIpHeader` is true for raw sockets (the datagram
// starts with the IPv4 header, whose length is the low four bits of byte 0 times 4) and
// false for ICMP datagram sockets (the datagram starts with the ICMP header).
// Ignored: datagrams shorter than header + 12 bytes, other identifiers or sequence
// numbers, and echo requests (a raw socket also sees our own request on loopback).
// An ICMP error message (unreachable, time exceeded, ...) is a Failure when the request
// quoted in it is ours.
EchoAnswer ClassifyEchoDatagram(const std::uint8_t* data, std::size_t size, bool withIpHeader,
                                std::uint16_t identifier, std::uint16_t sequence);

enum class EchoSockets {
    RawThenDatagram,  // raw socket; the unprivileged ICMP datagram socket where it is refused
    RawOnly,
    DatagramOnly,
};

// Restarted waits end at this many time-outs in all, so that steady ICMP traffic to the
// host cannot hold the caller forever.
inline constexpr int kMaxEchoWaitTimeouts = 10;

struct PingOptions {
    std::string host;  // dotted IPv4 address or a name to resolve
    std::uint8_t timeToLive = 30;
    int timeoutMs = 1000;  // per wait; a datagram that is not ours restarts it
    std::size_t dataSize = 32;
    std::uint8_t typeOfService = 0;
    bool dontFragment = false;
    std::string sourceAddress;  // address or name to send from; "" for any
    std::uint16_t sequence = 0;
    EchoSockets sockets = EchoSockets::RawThenDatagram;
    int maxWaitTimeouts = kMaxEchoWaitTimeouts;  // bound of all waits, in time-outs
};

struct PingResult {
    std::string address;       // the address the request went to
    double roundTripMs = 0.0;  // send to reply, milliseconds
    bool datagramSocket = false;
    std::string error;  // why the ping failed
};

// Sends one echo request and waits for its reply. True when the reply came; false with
// `result->error` set otherwise (unresolvable name, sockets refused, send failure, time-out
// after `timeoutMs`, or an ICMP error answer). The socket is closed on every path.
bool PingHost(const PingOptions& options, PingResult* result = nullptr);

// Milliseconds since the system started, cut to 32 bits (the request's time stamp).
std::uint32_t TickCount();

}  // namespace plexivar::platform
