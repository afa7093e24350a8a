#include "engine/filter/serial_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace vestrel {
namespace {

TEST(SerialWorker, RunsTasksInOrderOffTheCallingThread) {
    std::vector<int> order;
    std::thread::id caller = std::this_thread::get_id(), ran;
    {
        SerialWorker worker;
        for (int i = 0; i < 50; ++i) {
            ASSERT_TRUE(worker.Post(
                [&, i](std::string&) {
                    order.push_back(i);
                    ran = std::this_thread::get_id();
                    return true;
                },
                nullptr));
        }
        ASSERT_TRUE(worker.Wait(nullptr));
    }
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    EXPECT_NE(ran, caller);
}

TEST(SerialWorker, AFailureStopsLaterTasksAndIsReportedOnce) {
    SerialWorker worker;
    std::atomic<int> ran{0};
    ASSERT_TRUE(worker.Post([&](std::string& e) { e = "disk full"; ++ran; return false; }, nullptr));
    std::string error;
    EXPECT_FALSE(worker.Post([&](std::string&) { ++ran; return true; }, &error));
    EXPECT_EQ(error, "disk full");
    error.clear();
    EXPECT_FALSE(worker.Wait(&error));
    EXPECT_EQ(error, "disk full");
    EXPECT_EQ(ran.load(), 1);
}

TEST(SerialWorker, DestructionFinishesThePostedTask) {
    std::atomic<bool> done{false};
    {
        SerialWorker worker;
        worker.Post(
            [&](std::string&) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                done = true;
                return true;
            },
            nullptr);
    }
    EXPECT_TRUE(done.load());
}

}  // namespace
}  // namespace vestrel
