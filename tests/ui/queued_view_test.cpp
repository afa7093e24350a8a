// The queued view between the service's threads and the window: calls arrive in the order
// they were made, on the view's own thread, and a caller never waits.
#include <gtest/gtest.h>

#include <QApplication>

#include <thread>

#include "tests/service/recording_view.h"
#include "tests/ui/window_harness.h"
#include "ui/queued_view.h"

namespace plexivar::testing {
namespace {

TEST(QueuedView, CallsFromTwoThreadsArriveInTheirOrderOnTheViewsThread) {
    RecordingView target;
    ui::QueuedView view;
    view.SetTarget(&target);
    std::thread::id replayedOn;
    struct ThreadCheck : OperatorView {
        std::thread::id* seen;
        explicit ThreadCheck(std::thread::id* s) : seen(s) {}
        void ShowJobRow(const StatusListUpdate&) override {}
        void ShowErrorLine(const std::string&) override {}
        void ShowStatusText(const std::string&) override { *seen = std::this_thread::get_id(); }
        void ShowProgress(int, const std::string&) override {}
        void ShowSpoolerImage(int, int) override {}
        void ShowRunState(bool) override {}
        void ShowMessage(const std::string&) override {}
    };

    std::thread a([&] {
        for (int i = 0; i < 500; ++i) view.ShowStatusText("a" + std::to_string(i));
    });
    std::thread b([&] {
        for (int i = 0; i < 500; ++i) view.ShowSpoolerImage(i, i % 3);
    });
    a.join();
    b.join();
    view.ShowRunState(true);
    view.ShowMessage("box");
    EXPECT_TRUE(target.statusTexts().empty()) << "nothing is replayed before the loop turns";
    EXPECT_EQ(view.Pending(), 1002u);

    ASSERT_TRUE(WaitUntil([&] { return view.Pending() == 0; }));
    const std::vector<std::string> texts = target.statusTexts();
    ASSERT_EQ(texts.size(), 500u);
    for (int i = 0; i < 500; ++i) EXPECT_EQ(texts[static_cast<std::size_t>(i)], "a" + std::to_string(i));
    const std::vector<std::string> images = target.images();
    ASSERT_EQ(images.size(), 500u);
    EXPECT_EQ(images.back(), "499:1");
    EXPECT_EQ(target.runStates(), std::vector<std::string>{"running"});
    EXPECT_EQ(target.messages(), std::vector<std::string>{"box"});

    ThreadCheck check(&replayedOn);
    view.SetTarget(&check);
    std::thread([&] { view.ShowStatusText("from a worker"); }).join();
    ASSERT_TRUE(WaitUntil([&] { return view.Pending() == 0; }));
    EXPECT_EQ(replayedOn, std::this_thread::get_id());
}

TEST(QueuedView, WithoutATargetCallsAreDropped) {
    ui::QueuedView view;
    view.ShowErrorLine("lost");
    view.Flush();
    EXPECT_EQ(view.Pending(), 0u);
    RecordingView target;
    view.SetTarget(&target);
    QApplication::processEvents();
    EXPECT_TRUE(target.errors().empty());
}

}  // namespace
}  // namespace plexivar::testing
