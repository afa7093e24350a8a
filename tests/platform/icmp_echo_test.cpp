#include "platform/icmp_echo.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/unique_fd.h"
#include "tests/platform/network_namespace.h"

namespace plexivar::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(InternetChecksum, MatchesHandComputation) {
    // The example of RFC 1071: words 0x0001 + 0xF203 + 0xF4F5 + 0xF6F7 = 0x2DDF0, folded
    // 0xDDF2, complemented 0x220D.
    const Bytes rfc = {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
    EXPECT_EQ(InternetChecksum(rfc.data(), rfc.size()), 0x220D);
    // An odd last byte is the high byte of a word padded with zero.
    const Bytes odd = {0x01};
    EXPECT_EQ(InternetChecksum(odd.data(), odd.size()), 0xFEFF);
    EXPECT_EQ(InternetChecksum(nullptr, 0), 0xFFFF);
}

TEST(BuildEchoRequest, HasTheExactLayout) {
    const Bytes packet = BuildEchoRequest(0x1234, 0, 0x01020304, 32);
    ASSERT_EQ(packet.size(), 44u);
    // Words: 0x0800 + 0x3412 + 0x0403 + 0x0201 + 16 * 0x4545 = 0x49666, folded 0x966A,
    // complemented 0x6995.
    const Bytes header = {0x08, 0x00, 0x69, 0x95, 0x34, 0x12, 0x00, 0x00, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 12), header);
    for (std::size_t i = 12; i < packet.size(); ++i) EXPECT_EQ(packet[i], 0x45) << i;
    // A receiver's check: the whole packet, checksum included, sums to 0xFFFF.
    EXPECT_EQ(InternetChecksum(packet.data(), packet.size()), 0);
}

TEST(BuildEchoRequest, CutsOversizedData) {
    EXPECT_EQ(BuildEchoRequest(1, 2, 3, 70000).size(), kEchoHeaderSize + kMaxEchoData);
    EXPECT_EQ(BuildEchoRequest(1, 2, 3, 0).size(), kEchoHeaderSize);
}

// An IPv4 header of 20 bytes (or `words` 32-bit words) followed by `icmp`.
Bytes WithIpHeader(const Bytes& icmp, int words = 5) {
    Bytes d;
    d.reserve(static_cast<std::size_t>(words) * 4 + icmp.size());
    d.push_back(static_cast<std::uint8_t>(0x40 | words));
    for (int i = 1; i < words * 4; ++i) d.push_back(0);
    for (const std::uint8_t b : icmp) d.push_back(b);
    return d;
}

Bytes Echo(std::uint8_t type, std::uint16_t id, std::uint16_t seq) {
    Bytes icmp = BuildEchoRequest(id, seq, 7, 32);
    icmp[0] = type;
    return icmp;
}

TEST(ClassifyEchoDatagram, AcceptsOnlyTheReplyToOurRequest) {
    const auto classify = [](const Bytes& d, bool ip = true) {
        return ClassifyEchoDatagram(d.data(), d.size(), ip, 0xBEEF, 0).verdict;
    };
    EXPECT_EQ(classify(WithIpHeader(Echo(0, 0xBEEF, 0))), EchoVerdict::Reply);
    EXPECT_EQ(classify(WithIpHeader(Echo(0, 0xBEEF, 0), 6)), EchoVerdict::Reply);  // IP options
    EXPECT_EQ(classify(Echo(0, 0xBEEF, 0), false), EchoVerdict::Reply);  // datagram socket
    // Another process's reply, another sequence number, our own request seen on loopback.
    EXPECT_EQ(classify(WithIpHeader(Echo(0, 0xBEEE, 0))), EchoVerdict::Ignore);
    EXPECT_EQ(classify(WithIpHeader(Echo(0, 0xEFBE, 0))), EchoVerdict::Ignore);
    EXPECT_EQ(classify(WithIpHeader(Echo(0, 0xBEEF, 1))), EchoVerdict::Ignore);
    EXPECT_EQ(classify(WithIpHeader(Echo(8, 0xBEEF, 0))), EchoVerdict::Ignore);
    // Any other answer carrying our identifier and sequence fails the ping.
    EXPECT_EQ(classify(WithIpHeader(Echo(14, 0xBEEF, 0))), EchoVerdict::Failure);
}

TEST(ClassifyEchoDatagram, IgnoresShortAndMalformedDatagrams) {
    const Bytes reply = WithIpHeader(Echo(0, 0xBEEF, 0));
    for (std::size_t size : {0u, 1u, 19u, 20u, 31u}) {
        EXPECT_EQ(ClassifyEchoDatagram(reply.data(), size, true, 0xBEEF, 0).verdict,
                  EchoVerdict::Ignore)
            << size;
    }
    EXPECT_EQ(ClassifyEchoDatagram(reply.data(), 32, true, 0xBEEF, 0).verdict, EchoVerdict::Reply);
    Bytes badHeader = reply;
    badHeader[0] = 0x42;  // header length 8 bytes: not IPv4
    EXPECT_EQ(ClassifyEchoDatagram(badHeader.data(), badHeader.size(), true, 0xBEEF, 0).verdict,
              EchoVerdict::Ignore);
    badHeader[0] = 0x4F;  // 60 bytes of header in a 64-byte datagram
    EXPECT_EQ(ClassifyEchoDatagram(badHeader.data(), badHeader.size(), true, 0xBEEF, 0).verdict,
              EchoVerdict::Ignore);
}

TEST(ClassifyEchoDatagram, ErrorMessageQuotingOurRequestFails) {
    // Destination unreachable: 8 bytes of ICMP header, then the quoted IP header and the
    // first 8 bytes of the request.
    const auto unreachable = [](std::uint16_t id) {
        Bytes icmp = {3, 1, 0, 0, 0, 0, 0, 0};
        const Bytes request = BuildEchoRequest(id, 0, 7, 32);
        const Bytes quoted = WithIpHeader(Bytes(request.begin(), request.begin() + 8));
        icmp.insert(icmp.end(), quoted.begin(), quoted.end());
        return WithIpHeader(icmp);
    };
    const Bytes ours = unreachable(0xBEEF);
    const EchoAnswer answer = ClassifyEchoDatagram(ours.data(), ours.size(), true, 0xBEEF, 0);
    EXPECT_EQ(answer.verdict, EchoVerdict::Failure);
    EXPECT_EQ(answer.type, 3);
    EXPECT_EQ(answer.code, 1);
    const Bytes theirs = unreachable(0x1111);
    EXPECT_EQ(ClassifyEchoDatagram(theirs.data(), theirs.size(), true, 0xBEEF, 0).verdict,
              EchoVerdict::Ignore);
    // Cut inside the quoted request.
    EXPECT_EQ(ClassifyEchoDatagram(ours.data(), ours.size() - 1, true, 0xBEEF, 0).verdict,
              EchoVerdict::Ignore);
}

TEST(PingHost, LoopbackAnswers) {
    // Refused without CAP_NET_RAW in this network namespace, also to a root whose user
    // namespace does not own it (an unprivileged container).
    if (!UniqueFd(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP)))
        GTEST_SKIP() << "raw ICMP sockets are refused here (they need CAP_NET_RAW)";
    PingOptions options;
    options.host = "127.0.0.1";
    options.sockets = EchoSockets::RawOnly;
    PingResult result;
    ASSERT_TRUE(PingHost(options, &result)) << result.error;
    EXPECT_EQ(result.address, "127.0.0.1");
    EXPECT_FALSE(result.datagramSocket);
    EXPECT_GE(result.roundTripMs, 0.0);
    EXPECT_LT(result.roundTripMs, 1000.0);

    // Sent from a given source, with the don't-fragment flag and a bigger payload.
    options.sourceAddress = "127.0.0.1";
    options.dontFragment = true;
    options.dataSize = 1400;
    EXPECT_TRUE(PingHost(options, &result)) << result.error;
    options.sourceAddress = "192.0.2.1";  // not an address of this machine: bind fails
    EXPECT_FALSE(PingHost(options, &result));
    EXPECT_NE(result.error.find("bind"), std::string::npos) << result.error;
}

TEST(PingHost, UnresolvableNameFailsWithoutSending) {
    // A label longer than 63 characters cannot be put into a DNS query, so the resolver
    // gives up before anything leaves the machine.
    PingOptions options;
    options.host = std::string(70, 'a') + ".example";
    PingResult result;
    EXPECT_FALSE(PingHost(options, &result));
    EXPECT_NE(result.error.find("Unable to resolve host name"), std::string::npos) << result.error;
    options.host = "";
    EXPECT_FALSE(PingHost(options, &result));
}

TEST(PingHost, DatagramSocketWhereRawSocketsAreRefused) {
    const testing::TestNetwork net(false);
    PLEXIVAR_REQUIRE_TEST_NETWORK(net);
    // Unprivileged ICMP sockets are allowed for group 0 in the client namespace only.
    ASSERT_TRUE(net.ClientSysctl("net/ipv4/ping_group_range", "0 0"));
    bool ok = false;
    PingResult result;
    ASSERT_TRUE(net.RunInClient([&] {
        PingOptions options;
        options.host = "127.0.0.1";
        options.sockets = EchoSockets::DatagramOnly;
        ok = PingHost(options, &result);
    }));
    EXPECT_TRUE(ok) << result.error;
    EXPECT_TRUE(result.datagramSocket);
}

TEST(PingHost, NamespaceHostAnswersThroughVeth) {
    const testing::TestNetwork net(false);
    PLEXIVAR_REQUIRE_TEST_NETWORK(net);
    PingOptions options;
    options.host = net.address();
    PingResult result;
    bool ok = false;
    ASSERT_TRUE(net.RunInClient([&] { ok = PingHost(options, &result); }));
    EXPECT_TRUE(ok) << result.error;
    EXPECT_EQ(result.address, net.address());
}

TEST(PingHost, SilentHostTimesOutAfterOneSecond) {
    const testing::TestNetwork net(true);
    PLEXIVAR_REQUIRE_TEST_NETWORK(net);
    PingOptions options;
    options.host = net.address();
    PingResult result;
    bool ok = true;
    double ms = 0;
    ASSERT_TRUE(net.RunInClient([&] {
        const auto start = std::chrono::steady_clock::now();
        ok = PingHost(options, &result);
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                 .count();
    }));
    EXPECT_FALSE(ok);
    EXPECT_GE(ms, 990.0);
    EXPECT_LT(ms, 1000.0 * kMaxEchoWaitTimeouts + 500.0);
    EXPECT_NE(result.error.find("No echo reply"), std::string::npos) << result.error;
}

// Sends echo requests with a foreign identifier to 127.0.0.1 of the client namespace every
// `periodMs` until destroyed. A raw ICMP socket there sees them (and their replies), so
// they exercise the restart of the wait.
class LoopbackNoise {
  public:
    LoopbackNoise(const testing::TestNetwork& net, int periodMs)
        : thread_([this, &net, periodMs] {
              if (net.EnterClient())
                  Run(periodMs);
          }) {}
    ~LoopbackNoise() {
        stop_ = true;
        thread_.join();
    }
    LoopbackNoise(const LoopbackNoise&) = delete;
    LoopbackNoise& operator=(const LoopbackNoise&) = delete;

  private:
    void Run(int periodMs) {
        UniqueFd fd(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const auto foreign = static_cast<std::uint16_t>(~::getpid() & 0xFFFF);
        while (!stop_) {
            const Bytes packet = BuildEchoRequest(foreign, 1, TickCount(), 32);
            ::sendto(fd.get(), packet.data(), packet.size(), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof to);
            std::this_thread::sleep_for(std::chrono::milliseconds(periodMs));
        }
    }

    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Milliseconds one ping from the client namespace takes; -1 when it could not be sent
// from there.
double PingMs(const testing::TestNetwork& net, const PingOptions& options, PingResult& result) {
    double ms = -1;
    net.RunInClient([&] {
        const auto start = std::chrono::steady_clock::now();
        PingHost(options, &result);
        ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                 .count();
    });
    return ms;
}

TEST(PingHost, ForeignTrafficRestartsTheWaitUpToItsBound) {
    const testing::TestNetwork net(true);
    PLEXIVAR_REQUIRE_TEST_NETWORK(net);
    PingOptions options;
    options.host = net.address();
    options.timeoutMs = 300;
    options.sockets = EchoSockets::RawOnly;
    options.maxWaitTimeouts = 4;
    PingResult result;
    {
        // Traffic every 50 ms never lets a 300 ms wait run out: only the bound ends it.
        LoopbackNoise noise(net, 50);
        const double ms = PingMs(net, options, result);
        EXPECT_GE(ms, 4 * 300.0 - 10.0);
        EXPECT_LT(ms, 4 * 300.0 + 500.0);
    }
    EXPECT_NE(result.error.find("No echo reply"), std::string::npos) << result.error;
    // Without traffic one wait of 300 ms.
    const double quiet = PingMs(net, options, result);
    EXPECT_GE(quiet, 290.0);
    EXPECT_LT(quiet, 4 * 300.0 - 10.0);
}

TEST(PingHost, RefusedSocketsFailThePing) {
    const testing::TestNetwork net(false);
    PLEXIVAR_REQUIRE_TEST_NETWORK(net);
    // ping_group_range "1 0" (empty) refuses datagram sockets to everyone.
    ASSERT_TRUE(net.ClientSysctl("net/ipv4/ping_group_range", "1 0"));
    bool ok = true;
    PingResult result;
    ASSERT_TRUE(net.RunInClient([&] {
        PingOptions options;
        options.host = "127.0.0.1";
        options.sockets = EchoSockets::DatagramOnly;
        ok = PingHost(options, &result);
    }));
    EXPECT_FALSE(ok);
    EXPECT_NE(result.error.find("socket refused"), std::string::npos) << result.error;
}

}  // namespace
}  // namespace plexivar::platform
