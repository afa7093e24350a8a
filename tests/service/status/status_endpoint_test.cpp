// The endpoint over loopback: what each path answers, that nothing but GET and HEAD is
// served, conditional requests, and the requests no well-behaved client sends. After each
// bad request the endpoint still answers and the recorder still publishes.
#include "service/status/status_endpoint.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "service/status/status_recorder.h"
#include "tests/service/status/prometheus_parser.h"
#include "tests/service/status/status_test_support.h"
#include "tests/support/manual_clock.h"

namespace plexivar::testing {
namespace {

using std::chrono::milliseconds;

BoundedHttpServer::Limits TightLimits() {
    BoundedHttpServer::Limits limits;
    limits.readDeadline = milliseconds(400);
    limits.writeDeadline = milliseconds(1000);
    return limits;
}

class Endpoint : public ::testing::Test {
  protected:
    void SetUp() override {
        settings_.Spooler(1).InputFolder = "/hot";
        std::string error;
        ASSERT_TRUE(endpoint_.Start("127.0.0.1", 0, error)) << error;
        port_ = endpoint_.port();
        ASSERT_GT(port_, 0);
    }

    // A normal request still works and a new snapshot is published meanwhile.
    void ExpectStillServing(const std::string& after) {
        const std::uint64_t before = recorder_.Current()->version;
        recorder_.ShowStatusText("after " + after);
        EXPECT_GT(recorder_.Current()->version, before) << after;
        const auto r = Fetch(port_, "/api/spoolers");
        ASSERT_TRUE(r) << after << ": " << httplib::to_string(r.error());
        EXPECT_EQ(r->status, 200) << after;
        EXPECT_NE(r->body.find("after " + after), std::string::npos) << after;
    }

    Settings settings_;
    ManualClock clock_;
    StatusRecorder recorder_{nullptr, settings_, clock_};
    StatusEndpoint endpoint_{[this] { return recorder_.Current(); },
                             [] {
                                 return ServiceHealth{false, false, true};
                             },
                             TightLimits()};
    int port_ = 0;
};

TEST_F(Endpoint, AnswersEachPathWithItsTypeAndRefusesTheRest) {
    recorder_.RunStateChanged(true);
    struct Case {
        const char* path;
        int status;
        const char* type;
        const char* contains;
    };
    const std::vector<Case> cases = {
        {"/", 200, "text/html; charset=utf-8", "<th>Comment</th>"},
        {"/?refresh=1", 200, "text/html; charset=utf-8", "id=\"live\""},
        {"/metrics", 200, "text/plain; version=0.0.4; charset=utf-8", "plexivar_engine_bound 1\n"},
        {"/api/jobs", 200, "application/json; charset=utf-8", "\"rows\":[]"},
        {"/api/spoolers", 200, "application/json; charset=utf-8", "\"state\":\"idle\""},
        {"/index.html", 404, "text/plain; charset=utf-8", "Not found"},
        {"/metrics/", 404, "text/plain; charset=utf-8", "Not found"},
        {"/api/jobs/../../etc/passwd", 404, "text/plain; charset=utf-8", "Not found"},
        {"/API/JOBS", 404, "text/plain; charset=utf-8", "Not found"},
    };
    for (const Case& c : cases) {
        const auto r = Fetch(port_, c.path);
        ASSERT_TRUE(r) << c.path;
        EXPECT_EQ(r->status, c.status) << c.path;
        EXPECT_EQ(r->get_header_value("Content-Type"), c.type) << c.path;
        EXPECT_NE(r->body.find(c.contains), std::string::npos) << c.path << "\n" << r->body;
        EXPECT_EQ(r->get_header_value("Connection"), "close") << c.path;
    }
    const auto page = Fetch(port_, "/");
    ASSERT_TRUE(page);
    EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'none'"),
              std::string::npos);
    Exposition metrics;
    std::string error;
    const auto scraped = Fetch(port_, "/metrics");
    ASSERT_TRUE(scraped);
    EXPECT_TRUE(metrics.Parse(scraped->body, error)) << error;
}

TEST_F(Endpoint, ServesOnlyGetAndHeadAndChangesNothing) {
    const std::uint64_t version = recorder_.Current()->version;
    for (const char* method : {"POST", "PUT", "DELETE", "PATCH", "OPTIONS", "TRACE", "CONNECT"}) {
        RawConnection c("127.0.0.1", port_);
        ASSERT_TRUE(c.Send(std::string(method) +
                           " /api/jobs HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello"));
        const std::string answer = c.ReadUntilClosed();
        EXPECT_EQ(StatusCodeOf(answer), 405) << method << "\n" << answer;
        EXPECT_NE(answer.find("Allow: GET, HEAD\r\n"), std::string::npos) << method;
    }
    RawConnection unknown("127.0.0.1", port_);
    ASSERT_TRUE(unknown.Send("BREW /pot HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_EQ(StatusCodeOf(unknown.ReadUntilClosed()), 400);

    RawConnection head("127.0.0.1", port_);
    ASSERT_TRUE(head.Send("HEAD /metrics HTTP/1.1\r\nHost: x\r\n\r\n"));
    const std::string answer = head.ReadUntilClosed();
    EXPECT_EQ(StatusCodeOf(answer), 200);
    EXPECT_EQ(answer.substr(answer.find("\r\n\r\n") + 4), "");  // no body
    EXPECT_EQ(recorder_.Current()->version, version);
}

TEST_F(Endpoint, AnUnchangedSnapshotIsAnswered304) {
    for (const char* path : {"/", "/metrics", "/api/jobs", "/api/spoolers"}) {
        const auto first = Fetch(port_, path);
        ASSERT_TRUE(first);
        const std::string etag = first->get_header_value("ETag");
        ASSERT_FALSE(etag.empty()) << path;
        const auto again = Fetch(port_, path, {{"If-None-Match", etag}});
        ASSERT_TRUE(again);
        EXPECT_EQ(again->status, 304) << path;
        EXPECT_TRUE(again->body.empty()) << path;
    }
    const auto before = Fetch(port_, "/api/jobs");
    recorder_.ShowStatusText("Scanning..");  // not a job change
    const auto same =
        Fetch(port_, "/api/jobs", {{"If-None-Match", before->get_header_value("ETag")}});
    EXPECT_EQ(same->status, 304);
    StatusList list;
    StatusRow row;
    row.file = "new-K.tif";
    row.status = "Done";
    recorder_.ShowJobRow(list.Record(row));
    const auto changed =
        Fetch(port_, "/api/jobs", {{"If-None-Match", before->get_header_value("ETag")}});
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->status, 200);
    EXPECT_NE(changed->body.find("new-K.tif"), std::string::npos);
}

TEST_F(Endpoint, BadRequestsAreRefusedAndTheEndpointServesOn) {
    const std::string start = "GET / HTTP/1.1\r\nHost: x\r\n";
    struct Case {
        const char* what;
        std::string request;
        int status;  // 0: a connection reset may come before the answer
    };
    std::string manyHeaders;
    for (int i = 0; i < 300; ++i)
        manyHeaders += "X-Filler-" + std::to_string(i) + ": " + std::string(60, 'a') + "\r\n";
    std::string endless;
    for (int i = 0; i < 30000; ++i)
        endless += "X-" + std::to_string(i) + ": " + std::string(60, 'b') + "\r\n";
    const std::vector<Case> cases = {
        {"one header line longer than the library reads",
         start + "X-Big: " + std::string(9000, 'a') + "\r\n\r\n", 400},
        {"20 KiB of headers in short lines", start + manyHeaders + "\r\n", 431},
        {"2 MiB of headers without end", start + endless, 0},
        {"a request line of 20 KiB", "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n", 0},
        {"not HTTP at all", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11), 0},
    };
    for (const Case& c : cases) {
        RawConnection raw("127.0.0.1", port_);
        raw.Send(c.request);  // may fail once the server has closed
        const std::string answer = raw.ReadUntilClosed();
        if (c.status)
            EXPECT_EQ(StatusCodeOf(answer), c.status) << c.what << "\n" << answer.substr(0, 200);
        else
            EXPECT_TRUE(answer.empty() || StatusCodeOf(answer) >= 400) << c.what;
        ExpectStillServing(c.what);
    }
}

TEST_F(Endpoint, SlowAndSilentClientsAreDroppedAtTheDeadline) {
    // More silent connections than the server has workers: each is closed with 408 at the
    // read deadline, and a normal request gets through meanwhile.
    std::vector<std::unique_ptr<RawConnection>> silent;
    for (int i = 0; i < 12; ++i)
        silent.push_back(std::make_unique<RawConnection>("127.0.0.1", port_));
    ExpectStillServing("silent clients");
    for (auto& c : silent) {
        const std::string answer = c->ReadUntilClosed(std::chrono::seconds(5));
        EXPECT_EQ(StatusCodeOf(answer), 408) << answer;
    }

    // A client that sends a byte every 50 ms never finishes within the deadline.
    RawConnection trickle("127.0.0.1", port_);
    const std::string request = "GET / HTTP/1.1\r\nHost: x\r\n" + std::string(200, 'x');
    std::string answer;
    for (char ch : request) {
        if (!trickle.Send(std::string(1, ch)))
            break;
        answer += trickle.ReadUntilClosed(milliseconds(50));
        if (!answer.empty())
            break;
    }
    EXPECT_EQ(StatusCodeOf(answer), 408) << answer;
    ExpectStillServing("a trickling client");

    // A client that asks for the page many times over and never reads: the server does not
    // wait for it beyond the write deadline.
    for (int i = 0; i < 600; ++i) {
        StatusList list;
        StatusRow row;
        row.file = std::to_string(i) + std::string(200, 'f');
        row.comment = std::string(300, 'c');
        recorder_.ShowJobRow(list.Record(row));
    }
    std::vector<std::unique_ptr<RawConnection>> deaf;
    for (int i = 0; i < 12; ++i) {
        deaf.push_back(std::make_unique<RawConnection>("127.0.0.1", port_, 4096));
        deaf.back()->Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    }
    ExpectStillServing("clients that never read");
}

TEST(EndpointListening, APortInUseOrABadAddressIsRefusedWithTheReason) {
    ManualClock clock;
    Settings settings;
    StatusRecorder recorder(nullptr, settings, clock);
    auto source = [&] { return recorder.Current(); };
    auto probe = [] { return ServiceHealth{}; };

    // Another program listens on the port, with or without SO_REUSEPORT (which would let a
    // second server share the port silently if the endpoint set it too).
    for (const bool reusePort : {false, true}) {
        const platform::UniqueFd other(::socket(AF_INET, SOCK_STREAM, 0));
        const int yes = 1;
        if (reusePort)
            setsockopt(other.get(), SOL_SOCKET, SO_REUSEPORT, &yes, sizeof(yes));
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::bind(other.get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        ASSERT_EQ(::listen(other.get(), 4), 0);
        socklen_t length = sizeof(addr);
        getsockname(other.get(), reinterpret_cast<sockaddr*>(&addr), &length);
        const int port = ntohs(addr.sin_port);

        StatusEndpoint endpoint(source, probe);
        std::string error;
        EXPECT_FALSE(endpoint.Start("127.0.0.1", port, error)) << reusePort;
        EXPECT_EQ(error, "cannot listen on 127.0.0.1:" + std::to_string(port) +
                             ": Address already in use (errorcode 98)");
        EXPECT_EQ(endpoint.port(), 0);
    }
    for (const char* address : {"localhost", "127.0.0.300", ""}) {
        StatusEndpoint endpoint(source, probe);
        std::string error;
        EXPECT_FALSE(endpoint.Start(address, FreeLoopbackPort(), error)) << address;
        EXPECT_NE(error.find("not a numeric IP address"), std::string::npos)
            << address << ": " << error;
    }
}

TEST(EndpointListening, ListensOnTheConfiguredAddressOnly) {
    ManualClock clock;
    Settings settings;
    StatusRecorder recorder(nullptr, settings, clock);
    for (const auto& [address, other] : std::vector<std::pair<std::string, std::string>>{
             {"127.0.0.1", "127.0.0.2"}, {"127.0.0.2", "127.0.0.1"}}) {
        StatusEndpoint endpoint([&] { return recorder.Current(); }, [] { return ServiceHealth{}; });
        std::string error;
        ASSERT_TRUE(endpoint.Start(address, 0, error)) << error;
        const auto served = Fetch(endpoint.port(), "/metrics", {}, address);
        ASSERT_TRUE(served) << address;
        EXPECT_EQ(served->status, 200);
        RawConnection refused(other, endpoint.port());
        EXPECT_FALSE(refused.connected()) << other;
        EXPECT_EQ(refused.error(), ECONNREFUSED) << other;
        const int port = endpoint.port();
        endpoint.Stop();
        RawConnection stopped(address, port);
        EXPECT_FALSE(stopped.connected()) << "still listening after Stop";
    }
}

}  // namespace
}  // namespace plexivar::testing
