#include "service/status/status_endpoint.h"

#include "platform/c_locale.h"
#include "service/status/metrics_text.h"
#include "service/status/status_json.h"
#include "service/status/status_page.h"

namespace plexivar {
namespace {

constexpr auto kProbeInterval = std::chrono::seconds(1);
constexpr const char* kJsonType = "application/json; charset=utf-8";
constexpr const char* kTextType = "text/plain; charset=utf-8";

// The health state in three bits, so that it is kept in one lock-free atomic and fits into
// the low bits of a cache key.
unsigned PackHealth(const ServiceHealth& h) {
    return (h.databaseInUse ? 4u : 0u) | (h.databaseConnected ? 2u : 0u) |
           (h.engineBound ? 1u : 0u);
}

ServiceHealth UnpackHealth(unsigned bits) {
    return ServiceHealth{(bits & 4u) != 0, (bits & 2u) != 0, (bits & 1u) != 0};
}

// The snapshot version above the health bits.
std::uint64_t Key(std::uint64_t version, const ServiceHealth& h) {
    return version << 3 | PackHealth(h);
}

void SetCommonHeaders(httplib::Response& response) {
    response.set_header("Cache-Control", "no-cache");
    response.set_header("X-Content-Type-Options", "nosniff");
}

}  // namespace

std::shared_ptr<const std::string> StatusEndpoint::RenderedBody::Get(
    std::uint64_t key, const std::function<std::string()>& render) {
    // Requests for the same body wait for one rendering instead of each doing it.
    std::lock_guard lock(mutex_);
    if (!body_ || key_ != key) {
        body_ = std::make_shared<const std::string>(render());
        key_ = key;
    }
    return body_;
}

StatusEndpoint::StatusEndpoint(SnapshotSource snapshots, HealthProbe probe,
                               BoundedHttpServer::Limits limits)
    : snapshots_(std::move(snapshots)), probe_(std::move(probe)), server_(limits) {
    Route();
}

StatusEndpoint::~StatusEndpoint() {
    Stop();
}

ServiceHealth StatusEndpoint::Health() const {
    return UnpackHealth(health_.load());
}

void StatusEndpoint::Answer(const httplib::Request& request, httplib::Response& response,
                            std::uint64_t key, RenderedBody& cache, const char* contentType,
                            const std::function<std::string(const std::string&)>& render) {
    const std::string etag = platform::Format("\"%llx\"", static_cast<unsigned long long>(key));
    SetCommonHeaders(response);
    response.set_header("ETag", etag);
    if (request.get_header_value("If-None-Match") == etag) {
        response.status = 304;
        return;
    }
    const std::shared_ptr<const std::string> body = cache.Get(key, [&] { return render(etag); });
    response.set_content(*body, contentType);
}

void StatusEndpoint::Route() {
    server_.set_pre_routing_handler(
        [](const httplib::Request& request, httplib::Response& response) {
            if (request.method == "GET" || request.method == "HEAD")
                return httplib::Server::HandlerResponse::Unhandled;
            response.status = 405;
            response.set_header("Allow", "GET, HEAD");
            response.set_content("Only GET and HEAD are served here; nothing can be changed.\n",
                                 kTextType);
            return httplib::Server::HandlerResponse::Handled;
        });
    server_.Get("/", [this](const httplib::Request& request, httplib::Response& response) {
        const auto s = snapshots_();
        const ServiceHealth h = Health();
        Answer(request, response, Key(s->version, h), page_, "text/html; charset=utf-8",
               [&](const std::string& etag) { return StatusPage(*s, h, etag); });
        // The page carries its style and script inline and loads nothing else.
        response.set_header(
            "Content-Security-Policy",
            "default-src 'none'; style-src 'unsafe-inline'; "
            "script-src 'unsafe-inline'; connect-src 'self'; frame-ancestors 'none'");
    });
    server_.Get("/metrics", [this](const httplib::Request& request, httplib::Response& response) {
        const auto s = snapshots_();
        const ServiceHealth h = Health();
        Answer(request, response, Key(s->version, h), metrics_, kMetricsContentType,
               [&](const std::string&) { return MetricsText(*s, h); });
    });
    server_.Get("/api/jobs", [this](const httplib::Request& request, httplib::Response& response) {
        const auto s = snapshots_();
        Answer(request, response, s->jobsVersion, jobs_, kJsonType,
               [&](const std::string&) { return JobsJson(*s); });
    });
    server_.Get("/api/spoolers",
                [this](const httplib::Request& request, httplib::Response& response) {
                    const auto s = snapshots_();
                    const ServiceHealth h = Health();
                    Answer(request, response, Key(s->version, h), spoolers_, kJsonType,
                           [&](const std::string&) { return SpoolersJson(*s, h); });
                });
    // Error answers the handlers left empty (404, 400, ...) get a line of text.
    server_.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty())
            return;
        const char* text = response.status == 404
                               ? "Not found. Try /, /metrics, /api/jobs or /api/spoolers.\n"
                               : "The request could not be served.\n";
        response.set_content(text, kTextType);
    });
    server_.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            response.status = 500;
            response.set_content("The status could not be rendered.\n", kTextType);
        });
}

bool StatusEndpoint::Start(const std::string& address, int port, std::string& error) {
    if (listener_.joinable()) {
        error = "already listening";
        return false;
    }
    const int bound = server_.Listen(address, port, error);
    if (bound < 0) {
        const bool v6 = address.find(':') != std::string::npos;
        error = platform::Format(v6 ? "cannot listen on [%s]:%d: %s" : "cannot listen on %s:%d: %s",
                                 address.c_str(), port, error.c_str());
        return false;
    }
    port_ = bound;
    health_ = PackHealth(probe_());
    {
        std::lock_guard lock(probeMutex_);
        probeStop_ = false;
    }
    prober_ = std::thread([this] { SampleHealth(); });
    serving_ = true;
    listener_ = std::thread([this] {
        // Nothing may leave the thread: a failure ends the endpoint, not the service.
        try {
            server_.Serve();
        } catch (...) {
        }
        serving_ = false;
    });
    return true;
}

void StatusEndpoint::SampleHealth() {
    std::unique_lock lock(probeMutex_);
    while (!probeWake_.wait_for(lock, kProbeInterval, [this] { return probeStop_; })) {
        lock.unlock();
        // A probe that throws keeps the last answer; nothing may leave the thread.
        try {
            health_ = PackHealth(probe_());
        } catch (...) {
        }
        lock.lock();
    }
}

void StatusEndpoint::Stop() {
    if (listener_.joinable()) {
        // The accept loop may not have started yet: wait until it runs, so that the stop
        // below reaches it.
        while (serving_.load() && !server_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        server_.Shutdown();
        listener_.join();
    }
    {
        std::lock_guard lock(probeMutex_);
        probeStop_ = true;
    }
    probeWake_.notify_all();
    if (prober_.joinable())
        prober_.join();
    port_ = 0;
}

}  // namespace plexivar
