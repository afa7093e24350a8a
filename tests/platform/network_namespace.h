// A throw-away network namespace with one host reachable from this process through a
// veth pair, for tests that really send ICMP echo requests. Echo requests go only to
// loopback or to such a namespace host, never to any other address.
//
// Needs root (CAP_NET_ADMIN, CAP_SYS_ADMIN) and the `ip` tool. Names carry the process id
// and a counter, so parallel test processes do not collide; the namespace and the veth
// pair are removed when the object goes out of scope, also after a failed setup.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

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

// Why namespace tests cannot run here, or "" when they can.
inline std::string NamespaceTestsUnavailable() {
    if (::geteuid() != 0)
        return "network namespace tests need root (CAP_NET_ADMIN); run as root";
    if (!RunShell("command -v ip"))
        return "the ip tool (iproute2) is not installed";
    return {};
}

class NetworkNamespace {
  public:
    // `ignoreEcho`: the namespace host drops every echo request (icmp_echo_ignore_all=1).
    explicit NetworkNamespace(bool ignoreEcho) {
        static std::atomic<int> counter{0};
        const int n = counter++;
        const std::string id = std::to_string(::getpid()) + "x" + std::to_string(n);
        name_ = "plxns" + id;
        hostSide_ = "pxa" + id;
        const std::string inside = "pxb" + id;
        // One /30 of the benchmarking range 198.18.0.0/15 per namespace: four per process,
        // processes told apart by their id.
        const unsigned index =
            (static_cast<unsigned>(::getpid()) % 8192u) * 4u + static_cast<unsigned>(n) % 4u;
        const unsigned base = index * 4u;
        const std::string prefix = "198." + std::to_string(18 + base / 65536) + "." +
                                   std::to_string((base / 256) % 256) + ".";
        const std::string hostAddress = prefix + std::to_string(base % 256 + 1);
        address_ = prefix + std::to_string(base % 256 + 2);

        const std::string exec = "ip netns exec " + name_ + " ";
        const std::string steps[] = {
            "ip netns add " + name_,
            "ip link add " + hostSide_ + " type veth peer name " + inside,
            "ip link set " + inside + " netns " + name_,
            "ip addr add " + hostAddress + "/30 dev " + hostSide_,
            "ip link set " + hostSide_ + " up",
            exec + "ip addr add " + address_ + "/30 dev " + inside,
            exec + "ip link set " + inside + " up",
            exec + "ip link set lo up",
            exec + SysctlCommand("net/ipv4/icmp_echo_ignore_all", ignoreEcho ? "1" : "0"),
        };
        for (const auto& step : steps) {
            std::string output;
            if (!RunShell(step, &output)) {
                error_ = step + ": " + output;
                return;
            }
        }
        ok_ = true;
    }

    ~NetworkNamespace() {
        // Removing the namespace removes the veth end inside it and so the whole pair; the
        // link delete covers a setup that failed before the move.
        RunShell("ip netns del " + name_);
        RunShell("ip link del " + hostSide_);
    }

    NetworkNamespace(const NetworkNamespace&) = delete;
    NetworkNamespace& operator=(const NetworkNamespace&) = delete;

    bool ok() const { return ok_; }
    const std::string& error() const { return error_; }
    const std::string& name() const { return name_; }
    // Address of the host inside the namespace.
    const std::string& address() const { return address_; }

    // Sets a network sysctl inside the namespace, e.g. ("net/ipv4/ping_group_range", "0 0").
    bool Sysctl(const std::string& key, const std::string& value) const {
        return RunShell("ip netns exec " + name_ + " " + SysctlCommand(key, value));
    }

    // Runs `work` on a thread that has entered the namespace (a network namespace is per
    // thread), and waits for it. False when the thread could not enter it.
    bool RunInside(const std::function<void()>& work) const {
        bool entered = false;
        std::thread thread([&] {
            const int fd = ::open(("/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                return;
            entered = ::setns(fd, CLONE_NEWNET) == 0;
            ::close(fd);
            if (entered)
                work();
        });
        thread.join();
        return entered;
    }

  private:
    // Written through /proc/sys, which shows the namespace of the writer; no sysctl tool needed.
    static std::string SysctlCommand(const std::string& key, const std::string& value) {
        return "sh -c 'echo " + value + " > /proc/sys/" + key + "'";
    }

    std::string name_;
    std::string hostSide_;
    std::string address_;
    std::string error_;
    bool ok_ = false;
};

}  // namespace plexivar::testing
