// A throw-away network for tests that really send ICMP echo requests: two network
// namespaces joined by a veth pair. The code under test runs on a thread that has entered
// the "client" namespace and reaches one host, address(), in the "server" namespace. Both
// ends of the pair are created inside the namespaces, so the namespace of the test process
// (the machine's own interfaces, addresses and routes) is never touched, and every echo
// request stays inside the test network or on its loopback.
//
// Needs root (CAP_NET_ADMIN, CAP_SYS_ADMIN) and the `ip` tool. Where namespaces cannot be
// created (no privileges, an unprivileged container where `ip netns add` fails), tests skip
// and say why: PLEXIVAR_REQUIRE_TEST_NETWORK. Names carry the process id and a counter, so
// parallel test processes do not collide; the namespaces, and with them the pair, are
// removed when the object goes out of scope, also after a failed setup.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace plexivar::testing {

// Runs a shell command, returning true on exit status 0; its output goes to `output`.
inline bool RunShell(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return false;
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    const int status = ::pclose(pipe);
    if (output)
        *output = text;
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class TestNetwork {
  public:
    // `ignoreEcho`: the server drops every echo request (icmp_echo_ignore_all=1).
    explicit TestNetwork(bool ignoreEcho) {
        static std::atomic<int> counter{0};
        const std::string id = std::to_string(::getpid()) + "x" + std::to_string(counter++);
        client_ = "plxc" + id;
        server_ = "plxs" + id;
        if (::geteuid() != 0) {
            unavailable_ = "network namespace tests need root (CAP_NET_ADMIN, CAP_SYS_ADMIN)";
            return;
        }
        if (!RunShell("command -v ip")) {
            unavailable_ = "the ip tool (iproute2) is not installed";
            return;
        }
        // The namespaces are private, so the addresses need not differ between processes.
        const std::string inClient = "ip -n " + client_ + " ";
        const std::string inServer = "ip -n " + server_ + " ";
        // What this machine may refuse: the namespaces and the pair between them.
        const std::vector<std::string> create = {
            "ip netns add " + client_,
            "ip netns add " + server_,
            inClient + "link add pxc type veth peer name pxs netns " + server_,
        };
        // What must then work.
        const std::vector<std::string> configure = {
            inClient + "link set lo up",
            inClient + "addr add 198.18.0.1/30 dev pxc",
            inClient + "link set pxc up",
            inServer + "link set lo up",
            inServer + "addr add " + kServerAddress + "/30 dev pxs",
            inServer + "link set pxs up",
            "ip netns exec " + server_ + " " +
                SysctlCommand("net/ipv4/icmp_echo_ignore_all", ignoreEcho ? "1" : "0"),
        };
        for (const auto& step : create) {
            std::string output;
            if (!RunShell(step, &output)) {
                unavailable_ = "network namespaces cannot be created here (" + step + ": " +
                               output.substr(0, output.find_last_not_of(" \n") + 1) + ")";
                return;
            }
        }
        for (const auto& step : configure) {
            std::string output;
            if (!RunShell(step, &output)) {
                error_ = step + ": " + output;
                return;
            }
        }
    }

    ~TestNetwork() {
        // Removing a namespace removes the veth end inside it and so the whole pair.
        RunShell("ip netns del " + client_);
        RunShell("ip netns del " + server_);
    }

    TestNetwork(const TestNetwork&) = delete;
    TestNetwork& operator=(const TestNetwork&) = delete;

    // Why this machine cannot have a test network ("" when it can).
    const std::string& unavailable() const { return unavailable_; }
    // A setup step that failed although the namespaces could be created ("" when none).
    const std::string& error() const { return error_; }
    // Address of the server host, as seen from the client namespace.
    std::string address() const { return kServerAddress; }

    // Sets a network sysctl of the client namespace, e.g. ("net/ipv4/ping_group_range", "0 0").
    bool ClientSysctl(const std::string& key, const std::string& value) const {
        return RunShell("ip netns exec " + client_ + " " + SysctlCommand(key, value));
    }

    // Moves the calling thread into the client namespace (a network namespace is per
    // thread); for good, so only on threads made for it.
    bool EnterClient() const {
        const int fd = ::open(("/run/netns/" + client_).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool entered = ::setns(fd, CLONE_NEWNET) == 0;
        ::close(fd);
        return entered;
    }

    // Runs `work` on a thread inside the client namespace and waits for it. False when the
    // thread could not enter it.
    bool RunInClient(const std::function<void()>& work) const {
        bool entered = false;
        std::thread thread([&] {
            entered = EnterClient();
            if (entered)
                work();
        });
        thread.join();
        return entered;
    }

  private:
    static constexpr const char* kServerAddress = "198.18.0.2";

    // Written through /proc/sys, which shows the namespace of the writer; no sysctl tool needed.
    static std::string SysctlCommand(const std::string& key, const std::string& value) {
        return "sh -c 'echo " + value + " > /proc/sys/" + key + "'";
    }

    std::string client_;
    std::string server_;
    std::string unavailable_;
    std::string error_;
};

}  // namespace plexivar::testing

// Skips the test, saying why, when this machine cannot have a test network, and fails it
// when one could be created but not set up.
#define PLEXIVAR_REQUIRE_TEST_NETWORK(net)                   \
    do {                                                     \
        if (!(net).unavailable().empty())                    \
            GTEST_SKIP() << (net).unavailable();             \
        ASSERT_TRUE((net).error().empty()) << (net).error(); \
    } while (0)
