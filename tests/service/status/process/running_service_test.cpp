// The status of the running service: plexivar --headless in its program directory with a
// [Status] section, files flowing through a hot folder, clients polling over loopback, a
// port already taken, and the page in a real browser (headless Chromium).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/child_process.h"
#include "tests/service/status/prometheus_parser.h"
#include "tests/service/status/status_test_support.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_plate.h"

extern char** environ;

namespace plexivar::testing {
namespace {

using nlohmann::json;
using std::chrono::milliseconds;
namespace fs = std::filesystem;

// One spooler that passes every file through unchanged; `spoolerKeys` add to it.
std::string Ini(int port, const std::string& spoolerKeys = "") {
    return "[Setup]\r\nPollTime=0\r\nStableTime=100\r\nCreateFolders=1\r\nDebug=1\r\nDebug2=1\r\n"
           "InputFolder1=hot\r\nOutputFolder1=out\r\nKeepResolution1=1\r\n" +
           spoolerKeys + "[Status]\r\nPort=" + std::to_string(port) + "\r\nAddress=127.0.0.1\r\n";
}

// plexivar --headless started with posix_spawn in `dir`, its own runtime folder (so that
// the single-instance lock is the test's own) and its output in dir/service.out.
class ServiceProcess {
  public:
    explicit ServiceProcess(const TempDir& dir) : dir_(dir) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("XDG_RUNTIME_DIR=", 0) && entry.rfind("NOTIFY_SOCKET=", 0) &&
                entry.rfind("JOURNAL_STREAM=", 0))
                env.push_back(entry);
        }
        env.push_back("XDG_RUNTIME_DIR=" + dir.path());
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
        posix_spawn_file_actions_addopen(&actions, 1, "service.out", O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, "service.err", O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        char program[] = "plexivar";
        char headless[] = "--headless";
        char* argv[] = {program, headless, nullptr};
        if (posix_spawn(&pid_, PLEXIVAR_PATH, &actions, nullptr, argv, envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ServiceProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // SIGTERM, then the exit status (-1 when it did not end within 60 s).
    int Terminate() {
        kill(pid_, SIGTERM);
        for (int i = 0; i < 6000; ++i) {
            int raw = 0;
            if (waitpid(pid_, &raw, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            }
            std::this_thread::sleep_for(milliseconds(10));
        }
        return -1;
    }
    std::string Out() const { return TempDir::Read(dir_.File("service.out")); }
    std::string Err() const { return TempDir::Read(dir_.File("service.err")); }

  private:
    const TempDir& dir_;
    pid_t pid_ = -1;
};

bool WaitFor(const std::function<bool()>& condition, int seconds = 60) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(milliseconds(20));
    }
    return true;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::size_t FilesIn(const std::string& folder) {
    std::size_t n = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        n += entry.is_regular_file() ? 1 : 0;
    return n;
}

// A pass-through input: written beside the hot folder, then renamed into it whole.
bool Drop(const TempDir& dir, const std::string& name) {
    const std::string staged =
        dir.Write(name + ".part", std::string(4096, static_cast<char>(name.size())));
    std::error_code ec;
    fs::rename(staged, dir.File("hot/" + name), ec);
    return !ec;
}

// Until the service has started and created its hot folder.
bool WaitUntilServing(const ServiceProcess& service, const TempDir& dir) {
    return WaitFor([&] {
        return Contains(service.Out(), "Status: Started") && fs::is_directory(dir.File("hot"));
    });
}

double Scrape(int port, const std::string& name, const Labels& labels) {
    const auto r = Fetch(port, "/metrics");
    Exposition e;
    std::string error;
    if (!r || r->status != 200 || !e.Parse(r->body, error))
        return NAN;
    return e.Value(name, labels);
}

// Clients polling every path in turn until the group ends; each checks what it gets: the
// metrics parse strictly and their job counter never goes back, the JSON parses, the page
// is whole.
class Pollers {
  public:
    Pollers(int port, int count) : results_(static_cast<std::size_t>(count)) {
        for (Result& r : results_) threads_.emplace_back([this, port, &r] { Run(port, r); });
    }
    ~Pollers() { Finish(); }
    Pollers(const Pollers&) = delete;
    Pollers& operator=(const Pollers&) = delete;

    struct Result {
        int polls = 0;
        std::vector<std::string> failures;
    };
    // Stops the clients and returns what each saw.
    const std::vector<Result>& Finish() {
        stop_ = true;
        for (std::thread& t : threads_)
            if (t.joinable())
                t.join();
        return results_;
    }

  private:
    void Run(int port, Result& result) {
        double lastDone = 0;
        const std::vector<std::string> paths = {"/metrics", "/api/jobs", "/", "/api/spoolers"};
        for (std::size_t i = 0; !stop_.load(); ++i) {
            const std::string& path = paths[i % paths.size()];
            const auto r = Fetch(port, path);
            ++result.polls;
            if (!r || r->status != 200) {
                result.failures.push_back(
                    path + ": " + (r ? std::to_string(r->status) : httplib::to_string(r.error())));
            } else if (path == "/metrics") {
                Exposition e;
                std::string error;
                const double done =
                    e.Parse(r->body, error)
                        ? e.Value("plexivar_jobs_total", {{"spooler", "1"}, {"status", "done"}})
                        : NAN;
                if (std::isnan(done) || done < lastDone)
                    result.failures.push_back("metrics: " + error);
                else
                    lastDone = done;
            } else if (path == "/") {
                if (!Contains(r->body, "</html>"))
                    result.failures.push_back("page cut short");
            } else if (!json::accept(r->body)) {
                result.failures.push_back(path + ": not JSON");
            }
            std::this_thread::sleep_for(milliseconds(50));
        }
    }

    std::atomic<bool> stop_{false};
    std::vector<Result> results_;
    std::vector<std::thread> threads_;  // last: they use the members above
};

TEST(RunningService, ServesItsStatusToFiftyPollersWhile200FilesFlow) {
    TempDir dir;
    const int port = FreeLoopbackPort();
    dir.Write("plexivar.ini", Ini(port));
    ServiceProcess service(dir);
    ASSERT_TRUE(WaitUntilServing(service, dir)) << service.Out() << service.Err();
    EXPECT_TRUE(Contains(service.Out(),
                         "Status: Status page on http://127.0.0.1:" + std::to_string(port) + "/"))
        << service.Out();

    Pollers pollers(port, 50);
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(Drop(dir, "p" + std::to_string(1000 + i) + "-K.tif"));
    const bool delivered = WaitFor([&] { return FilesIn(dir.File("out")) >= 200; }, 180);
    const bool counted = WaitFor([&] {
        return Scrape(port, "plexivar_jobs_total", {{"spooler", "1"}, {"status", "done"}}) == 200 &&
               Scrape(port, "plexivar_files_waiting", {{"spooler", "1"}}) == 0;
    });
    int polls = 0;
    for (const Pollers::Result& r : pollers.Finish()) {
        polls += r.polls;
        EXPECT_GT(r.polls, 0);
        EXPECT_TRUE(r.failures.empty())
            << r.failures.size() << " failures, first: " << r.failures.front();
    }
    ASSERT_TRUE(delivered) << FilesIn(dir.File("out")) << " delivered\n" << service.Out();
    EXPECT_TRUE(counted);
    EXPECT_GT(polls, 200);

    const auto jobs = Fetch(port, "/api/jobs");
    ASSERT_TRUE(jobs);
    const json j = json::parse(jobs->body);
    EXPECT_EQ(j["rows"].size(), 200u);
    EXPECT_EQ(j["totals"]["done"], 200);
    EXPECT_EQ(j["rows"].back()["status"], "Done");
    const auto spoolers = Fetch(port, "/api/spoolers");
    ASSERT_TRUE(spoolers);
    const json s = json::parse(spoolers->body);
    EXPECT_EQ(s["running"], true);
    EXPECT_EQ(s["engineBound"], true);
    EXPECT_EQ(s["spoolers"][0]["jobs"]["done"], 200);
    EXPECT_NE(s["spoolers"][0]["lastDelivery"], nullptr);
    const auto page = Fetch(port, "/");
    ASSERT_TRUE(page);
    EXPECT_TRUE(Contains(page->body, "p1199-K.tif"));

    EXPECT_EQ(service.Terminate(), 0) << service.Err();
    RawConnection after("127.0.0.1", port);
    EXPECT_FALSE(after.connected()) << "still listening after the service ended";
}

TEST(RunningService, RunsOnWithoutTheEndpointWhenThePortIsTaken) {
    TempDir dir;
    const platform::UniqueFd taken(::socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(addr);
    ASSERT_EQ(::bind(taken.get(), reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(::listen(taken.get(), 4), 0);
    getsockname(taken.get(), reinterpret_cast<sockaddr*>(&addr), &length);
    const int port = ntohs(addr.sin_port);
    dir.Write("plexivar.ini", Ini(port));

    ServiceProcess service(dir);
    ASSERT_TRUE(WaitUntilServing(service, dir)) << service.Out() << service.Err();
    const std::string reason =
        "Status endpoint off: cannot listen on 127.0.0.1:" + std::to_string(port) +
        ": Address already in use (errorcode 98)";
    EXPECT_TRUE(Contains(service.Out(), "Error: " + reason)) << service.Out();
    ASSERT_TRUE(Drop(dir, "after-K.tif"));
    EXPECT_TRUE(WaitFor([&] { return FilesIn(dir.File("out")) == 1; })) << service.Out();
    EXPECT_EQ(service.Terminate(), 0);
    EXPECT_TRUE(Contains(TempDir::Read(dir.File("temp/Plexivar.log")), "ERROR: " + reason));
}

// Where a program is found on PATH; empty when it is not installed.
std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}

// Headless Chromium loads the page while files flow: its script runs (the page marks itself
// live only after a refresh came back), the rows are there, nothing outside was needed.
TEST(RunningService, APageInHeadlessChromiumKeepsItselfCurrent) {
    const std::string chromium = FindProgram("chromium");
    if (chromium.empty())
        GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh --browser)";
    TempDir dir;
    const int port = FreeLoopbackPort();
    // Colours found by name; magenta is scaled by the engine, the rest passed through.
    dir.Write("plexivar.ini", Ini(port,
                                  "EnableScaling1=1\r\nColorDetection1=1\r\nScalingXM1=99.5\r\n"
                                  "Xreference1=1\r\nYreference1=1\r\n"));
    ServiceProcess service(dir);
    ASSERT_TRUE(WaitUntilServing(service, dir)) << service.Out();
    TestPlate plate;
    plate.width = 800;
    plate.height = 600;
    ASSERT_TRUE(WriteTestPlate(dir.File("page42-M.tif"), plate));
    fs::rename(dir.File("page42-M.tif"), dir.File("hot/page42-M.tif"));
    for (const char* name : {"page42-C.tif", "page42-Y.tif", "page42-K.tif",
                             "page43-M.tif"})  // not a TIFF: the engine refuses it
        ASSERT_TRUE(Drop(dir, name));
    ASSERT_TRUE(WaitFor([&] {
        return Contains(TempDir::Read(dir.File("temp/PlexivarJobs.csv")), "page43-M.tif");
    })) << service.Out();

    // Files keep arriving while the browser has the page.
    std::atomic<bool> stop{false};
    std::thread feeder([&] {
        for (int i = 0; !stop.load() && i < 100; ++i) {
            Drop(dir, "feed" + std::to_string(i) + "-K.tif");
            std::this_thread::sleep_for(milliseconds(300));
        }
    });
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
    const std::string browser =
        chromium +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
        " --disable-background-networking --disable-component-update --disable-sync"
        " --user-data-dir=" +
        dir.File("profile") + " --window-size=1280,900";
    fs::create_directories(dir.File("profile"));
    const auto dom =
        platform::RunShellCommand(browser + " --virtual-time-budget=7000 --dump-dom " + url + " >" +
                                      dir.File("dom.html") + " 2>" + dir.File("chromium.err"),
                                  std::chrono::seconds(120), platform::SystemClock());
    const auto shot = platform::RunShellCommand(
        browser + " --virtual-time-budget=3000 --screenshot=" + dir.File("status.png") + " " + url +
            " 2>>" + dir.File("chromium.err"),
        std::chrono::seconds(120), platform::SystemClock());
    stop = true;
    feeder.join();
    EXPECT_EQ(service.Terminate(), 0);

    const std::string page = TempDir::Read(dir.File("dom.html"));
    ASSERT_EQ(dom.outcome, platform::CommandOutcome::Finished);
    EXPECT_EQ(dom.exitStatus, 0) << TempDir::Read(dir.File("chromium.err"));
    EXPECT_TRUE(Contains(page, "live, refreshing every 2 s")) << page.substr(0, 3000);
    EXPECT_TRUE(Contains(page, "page42-Y.tif"));
    EXPECT_TRUE(Contains(page, "background:#ff0000\">Error</td>"));  // the refused plate
    EXPECT_TRUE(Contains(page, "<span class=\"state"));
    EXPECT_FALSE(Contains(TempDir::Read(dir.File("chromium.err")), "Content Security Policy"));

    ASSERT_EQ(shot.outcome, platform::CommandOutcome::Finished);
    const std::string png = TempDir::Read(dir.File("status.png"));
    ASSERT_GT(png.size(), 10000u) << TempDir::Read(dir.File("chromium.err"));
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    // For the documentation: PLEXIVAR_SCREENSHOT_DIR=docs keeps the picture.
    if (const char* keep = std::getenv("PLEXIVAR_SCREENSHOT_DIR"))
        fs::copy_file(dir.File("status.png"), std::string(keep) + "/status.png",
                      fs::copy_options::overwrite_existing);
}

}  // namespace
}  // namespace plexivar::testing
