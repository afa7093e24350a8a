#include "engine/api/engine_log.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <string>
#include <thread>
#include <vector>

#include "engine/api/tiff_diagnostics.h"
#include "engine/filter/filter_log.h"
#include "platform/local_time.h"
#include "tests/support/temp_dir.h"

namespace vestrel {
namespace {

class EngineLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plexivar::platform::SetClockForTesting([] {
            plexivar::platform::LocalTime t;
            t.year = 2026;
            t.month = 3;
            t.day = 5;
            t.hour = 14;
            t.minute = 7;
            t.second = 9;
            t.millisecond = 45;
            return t;
        });
        SetEngineLogPath(dir_.File("Plexivar.log"));
    }
    void TearDown() override {
        plexivar::platform::SetClockForTesting({});
        SetEngineLogPath("");
    }
    std::string Log() const { return plexivar::testing::TempDir::Read(dir_.File("Plexivar.log")); }

    plexivar::testing::TempDir dir_;
};

TEST_F(EngineLogTest, LinesCarryDayMonthTimeAndCrLf) {
    EngineLog("INFO: File %s is processed - ready to be moved", "a.tif");
    EngineLog("INFO: Initial\n %d", 2);
    EXPECT_EQ(Log(),
              "[05-03 14:07:09.045] INFO: File a.tif is processed - ready to be moved\r\n"
              "[05-03 14:07:09.045] INFO: Initial\n 2\r\n");
}

TEST_F(EngineLogTest, LongMessagesAreCutNotOverrun) {
    const std::string huge(40000, 'x');
    EngineLog("%s", huge.c_str());
    const std::string line = Log();
    ASSERT_EQ(line.size(), std::string("[05-03 14:07:09.045] ").size() + 15999 + 2);
    EXPECT_EQ(line.substr(line.size() - 3), "x\r\n");
}

TEST_F(EngineLogTest, ConcurrentLinesAreAllKeptWhole) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) EngineLog("thread %d line %d", t, i);
        });
    for (auto& th : threads) th.join();
    const std::string log = Log();
    std::size_t lines = 0;
    for (std::size_t pos = 0; (pos = log.find("\r\n[", pos)) != std::string::npos; ++pos) ++lines;
    EXPECT_EQ(lines + 1, 200u);
    EXPECT_EQ(log.find("\r\n\r\n"), std::string::npos);
}

// A log line reaches the file whole even when a signal interrupts the open or the write
// (EINTR, a short write): the log may be a FIFO read by a slow reader, or the process may take
// signals without SA_RESTART. Both loggers of the engine append through the same routine.
void IgnoreSignal(int) {}

// Sends SIGUSR1 (installed without SA_RESTART) to the calling thread every millisecond for the
// life of the object.
class SignalStorm {
public:
    SignalStorm() : target_(pthread_self()) {
        struct sigaction action {};
        action.sa_handler = &IgnoreSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(SIGUSR1, &action, &previous_);
        thread_ = std::thread([this] {
            while (!stop_) {
                pthread_kill(target_, SIGUSR1);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    ~SignalStorm() {
        stop_ = true;
        thread_.join();
        sigaction(SIGUSR1, &previous_, nullptr);
    }

private:
    pthread_t target_;
    struct sigaction previous_ {};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::string ReadAll(int fd) {
    std::string text;
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            return text;
        }
    }
}

TEST_F(EngineLogTest, SignalsNeverCutOrDropALine) {
    enum class Logger { engine, filter };
    enum class Interrupted { open, write };
    struct Case {
        Logger logger;
        Interrupted interrupted;
        std::size_t length;
    };
    const std::string filterLog = FilterLogPath();
    for (const Case c : {Case{Logger::engine, Interrupted::open, 100},
                         Case{Logger::engine, Interrupted::write, 15000},
                         Case{Logger::filter, Interrupted::open, 100}}) {
        SCOPED_TRACE((c.logger == Logger::engine ? "engine log, " : "filter log, ") +
                     std::string(c.interrupted == Interrupted::open ? "open" : "write"));
        const std::string fifo = dir_.File("log.fifo");
        ::unlink(fifo.c_str());
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        const std::string message(c.length, 'm');
        const std::string expected = c.logger == Logger::engine
                                         ? "[05-03 14:07:09.045] " + message + "\r\n"
                                         : message;
        std::string received;
        std::atomic<bool> ready{false};
        std::atomic<bool> done{false};
        std::thread reader;
        if (c.interrupted == Interrupted::open) {
            // The writer waits in open() until this reader comes, 100 ms later.
            reader = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                const int fd = ::open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
                received = ReadAll(fd);
                ::close(fd);
                done = true;
            });
            ready = true;
        } else {
            // A pipe of one page: the writer blocks in write() with part of the line written
            // until this reader starts to read, 100 ms later.
            reader = std::thread([&] {
                const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
                ::fcntl(fd, F_SETPIPE_SZ, 4096);
                ready = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                ::fcntl(fd, F_SETFL, 0);
                received = ReadAll(fd);
                ::close(fd);
                done = true;
            });
        }
        while (!ready) std::this_thread::yield();
        {
            SignalStorm storm;
            if (c.logger == Logger::engine) {
                SetEngineLogPath(fifo);
                EngineLog("%s", message.c_str());
            } else {
                SetFilterLogPath(fifo);
                FilterLog("%s", message.c_str());
            }
        }
        // A writer that gave up leaves the reader waiting in open(): open and close the FIFO
        // once so that it sees the end.
        while (!done) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        reader.join();
        SetEngineLogPath(dir_.File("Plexivar.log"));
        SetFilterLogPath(filterLog);
        EXPECT_EQ(received.size(), expected.size());
        EXPECT_TRUE(received == expected);
    }
}

TEST(TiffDiagnosticsTest, TitlesNameTheModuleOrTheLibrary) {
    EXPECT_EQ(FormatTiffDiagnostic(false, "TIFFReadDirectory", "unknown tag"),
              "TIFFReadDirectory Warning: unknown tag\n");
    EXPECT_EQ(FormatTiffDiagnostic(true, nullptr, "bad file"), "TIFFLIB Error: bad file\n");
}

// Under systemd both streams reach the journal: each message is written once, to standard
// error.
std::vector<std::string> g_previousHandlerSaw;
void PreviousHandler(const char*, const char* format, va_list) {
    g_previousHandlerSaw.push_back(format);
}

TEST(TiffDiagnosticsTest, LibraryMessagesGoToStandardErrorOnce) {
    g_previousHandlerSaw.clear();
    const TIFFErrorHandler original = TIFFSetErrorHandler(&PreviousHandler);
    InstallTiffDiagnostics();
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    TIFFErrorExt(nullptr, nullptr, "code %d", 7);
    TIFFWarningExt(nullptr, "Mod", "careful");
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "TIFFLIB Error: code 7\nMod Warning: careful\n");

    EXPECT_TRUE(g_previousHandlerSaw.empty());

    // Removing them puts back what was there before.
    RemoveTiffDiagnostics();
    TIFFErrorExt(nullptr, nullptr, "back");
    EXPECT_EQ(g_previousHandlerSaw, std::vector<std::string>{"back"});
    TIFFSetErrorHandler(original);
}

}  // namespace
}  // namespace vestrel
