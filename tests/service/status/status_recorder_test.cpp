// The recorder between the service and the operator view: everything passes through to the
// real view, and the published snapshots hold what the window would show plus the counts.
#include "service/status/status_recorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "service/status/metrics_text.h"
#include "service/status/status_json.h"
#include "tests/service/recording_view.h"
#include "tests/support/manual_clock.h"

namespace plexivar::testing {
namespace {

Settings TwoSpoolers() {
    Settings settings;
    settings.service.NumberOfSpoolers = 2;
    settings.Spooler(1).InputFolder = "/hot/one";
    settings.Spooler(1).OutputFolder = "/out/one";
    settings.Spooler(2).InputFolder = "/hot/two";
    settings.Spooler(2).Enable = 0;
    return settings;
}

StatusRow Row(const std::string& file, const std::string& status, const std::string& colour = "") {
    StatusRow row;
    row.time = "09.12 08:00:00";
    row.file = file;
    row.status = status;
    row.statusColours = StatusColours(status);
    row.color = colour.substr(0, colour.empty() ? 0 : 1);
    row.colorColours = ColourCellColours(colour);
    row.seconds = " ";
    return row;
}

TEST(StatusRecorder, PassesEveryCallOnAndMirrorsTheJobListOfTheWindow) {
    Settings settings = TwoSpoolers();
    ManualClock clock;
    RecordingView inner;
    StatusRecorder recorder(&inner, settings, clock);
    const auto first = recorder.Current();

    // The list the window keeps, fed with 505 distinct files and two in-place updates; the
    // recorder sees only the updates, as a view does.
    StatusList list;
    for (int i = 0; i < 505; ++i)
        recorder.ShowJobRow(
            list.Record(Row("f" + std::to_string(i) + "-C.tif", "Processing", "C")));
    recorder.ShowJobRow(list.Record(Row("f500-C.tif", "Done", "")));  // colour cell kept
    recorder.ShowJobRow(list.Record(Row("f504-C.tif", "Error", "K")));
    recorder.ShowErrorLine("Folder /hot/one not found");
    recorder.ShowStatusText("Scanning..");
    recorder.ShowProgress(140, "Scanning..");
    recorder.ShowSpoolerImage(0, kSpoolerSearching);
    recorder.ShowRunState(true);
    recorder.ShowMessage("Error loading libvestrel.so");

    EXPECT_EQ(inner.updates().size(), 507u);
    EXPECT_EQ(inner.errors(), std::vector<std::string>{"Folder /hot/one not found"});
    EXPECT_EQ(inner.statusTexts(), std::vector<std::string>{"Scanning.."});
    EXPECT_EQ(inner.lastPercent(), 140);  // passed on as given
    EXPECT_EQ(inner.images(), std::vector<std::string>{"0:1"});
    EXPECT_EQ(inner.runStates(), std::vector<std::string>{"running"});
    EXPECT_EQ(inner.messages(), std::vector<std::string>{"Error loading libvestrel.so"});

    const auto now = recorder.Current();
    const std::vector<StatusRow> expected = list.Rows();
    // 501 rows after the 505th file; the update in place first drops the oldest to 500.
    ASSERT_EQ(now->rows.size(), expected.size());
    ASSERT_EQ(now->rows.size(), 500u);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(now->rows[i]->file, expected[i].file) << i;
        EXPECT_EQ(now->rows[i]->status, expected[i].status) << i;
        EXPECT_EQ(now->rows[i]->statusColours, expected[i].statusColours) << i;
        EXPECT_EQ(now->rows[i]->colorColours, expected[i].colorColours) << i;
    }
    EXPECT_EQ(now->errorLine, "Folder /hot/one not found");
    EXPECT_EQ(now->statusLine, "Scanning..");
    EXPECT_EQ(now->progress, 100);
    EXPECT_EQ(now->progressCaption, "Scanning..");
    EXPECT_TRUE(now->running);
    EXPECT_GT(now->version, first->version);
    EXPECT_GT(now->jobsVersion, first->jobsVersion);

    // A snapshot once published never changes.
    EXPECT_TRUE(first->rows.empty());
    EXPECT_EQ(first->errorLine, "");
    EXPECT_FALSE(first->running);

    // Repeating what is shown publishes nothing new.
    const std::uint64_t version = now->version;
    recorder.ShowStatusText("Scanning..");
    recorder.ShowProgress(100, "Scanning..");
    recorder.ShowErrorLine("Folder /hot/one not found");
    EXPECT_EQ(recorder.Current()->version, version);
}

TEST(StatusRecorder, SpoolerStatesFollowTheIconsTheSettingsAndTheRunState) {
    Settings settings = TwoSpoolers();
    ManualClock clock;
    StatusRecorder recorder(nullptr, settings, clock);
    auto states = [&] {
        const auto s = recorder.Current();
        std::string out;
        for (const SpoolerStatus& sp : s->spoolers)
            out += std::string(SpoolerStateName(sp.State(s->running))) + " ";
        return out;
    };
    struct Step {
        const char* what;
        std::function<void()> action;
        const char* expected;
    };
    const std::vector<Step> steps = {
        {"before the start", [] {}, "stopped disabled "},
        {"started", [&] { recorder.RunStateChanged(true); }, "idle disabled "},
        {"searched", [&] { recorder.ShowSpoolerImage(0, kSpoolerSearching); },
         "searching disabled "},
        {"scanned", [&] { recorder.ShowSpoolerImage(0, kSpoolerIdle); }, "idle disabled "},
        {"searched, then stopped",
         [&] {
             recorder.ShowSpoolerImage(0, kSpoolerSearching);
             recorder.ShowRunState(false);
         },
         "stopped disabled "},
        {"enabled while stopped, restarted",
         [&] {
             settings.Spooler(2).Enable = 1;
             recorder.RunStateChanged(true);
         },
         "idle idle "},
        {"disabled icon", [&] { recorder.ShowSpoolerImage(1, kSpoolerDisabled); },
         "idle disabled "},
        {"an index beyond the spoolers is ignored",
         [&] { recorder.ShowSpoolerImage(7, kSpoolerSearching); }, "idle disabled "},
    };
    for (const Step& step : steps) {
        step.action();
        EXPECT_EQ(states(), step.expected) << step.what;
    }
    EXPECT_EQ(recorder.Current()->spoolers[0].inputFolder, "/hot/one");
    EXPECT_EQ(recorder.Current()->spoolers[0].outputFolder, "/out/one");
}

TEST(StatusRecorder, FilesWaitingAddsTheColourFoldersOfAPassAndDropsTakenFiles) {
    Settings settings = TwoSpoolers();
    ManualClock clock;
    StatusRecorder recorder(nullptr, settings, clock);
    auto waiting = [&] { return recorder.Current()->spoolers[0].filesWaiting; };
    auto readable = [&] { return recorder.Current()->spoolers[0].inputReadable; };

    // A visit of the colour sub-folders C, M, Y, K: each scan is followed by the jobs of
    // its folder.
    recorder.SpoolerScanned(0, 0, 4, 2);
    EXPECT_EQ(waiting(), 2);
    recorder.JobFinished(0, "a-C.tif", "Done", true, 0.1);
    recorder.JobFinished(0, "b-C.tif", "Error", true, 0.1);
    EXPECT_EQ(waiting(), 0);
    recorder.SpoolerScanned(0, 1, 4, 3);
    recorder.SpoolerScanned(0, 2, 4, -1);  // Y unreadable
    recorder.SpoolerScanned(0, 3, 4, 1);
    EXPECT_EQ(waiting(), 4);
    EXPECT_FALSE(readable());
    recorder.JobFinished(0, "a-K.tif", "Done", true, 0.1);
    EXPECT_EQ(waiting(), 3);  // taken from K, not from M

    // The next visit replaces each folder's count as it is scanned again.
    recorder.SpoolerScanned(0, 0, 4, 0);
    EXPECT_EQ(waiting(), 3);  // M's three are still there until M is scanned
    recorder.SpoolerScanned(0, 1, 4, 1);
    recorder.SpoolerScanned(0, 2, 4, 0);
    recorder.SpoolerScanned(0, 3, 4, 0);
    EXPECT_EQ(waiting(), 1);
    EXPECT_TRUE(readable());

    // Jobs take files from the folder scanned last (K here, found empty): M keeps its one.
    recorder.JobFinished(0, "late-K.tif", "Done", true, 0.1);
    EXPECT_EQ(waiting(), 1);

    // Colour detection changed to names: one folder, counted afresh.
    recorder.SpoolerScanned(0, 0, 1, 5);
    EXPECT_EQ(waiting(), 5);
    recorder.SpoolerScanned(0, 0, 1, 1);

    // Spoolers are counted apart, and more finished jobs than found files stop at zero.
    recorder.SpoolerScanned(1, 0, 1, 1);
    recorder.JobFinished(1, "x.tif", "Done", true, 0.1);
    recorder.JobFinished(1, "y.tif", "Done", true, 0.1);
    EXPECT_EQ(recorder.Current()->spoolers[1].filesWaiting, 0);
    EXPECT_EQ(waiting(), 1);
    recorder.SpoolerScanned(9, 0, 1, 5);  // no such spooler
    EXPECT_EQ(waiting(), 1);

    // A restart reads the settings again (the folders may have changed): counts start over.
    recorder.RunStateChanged(true);
    EXPECT_EQ(waiting(), 1);  // unchanged until the next scan
    recorder.SpoolerScanned(0, 0, 1, 2);
    EXPECT_EQ(waiting(), 2);
}

TEST(StatusRecorder, CountsJobsTimesAndDeliveriesSinceTheStart) {
    Settings settings = TwoSpoolers();
    ManualClock clock;
    StatusRecorder recorder(nullptr, settings, clock);
    EXPECT_EQ(recorder.Current()->startedAt, ManualClock::kStart);

    clock.Advance(std::chrono::seconds(60));
    recorder.JobFinished(0, "a.tif", "Done", true, 0.05);
    clock.Advance(std::chrono::seconds(60));
    recorder.JobFinished(0, "b.tif", "Error", false, 12.0);  // a failure is no delivery
    recorder.JobFinished(1, "c.tif", "Done", false, 400.0);
    recorder.JobFinished(1, "d.tif", "Done", false, 2.5);

    const auto s = recorder.Current();
    EXPECT_EQ(s->jobs.done, 3u);
    EXPECT_EQ(s->jobs.error, 1u);
    EXPECT_EQ(s->spoolers[0].jobs.done, 1u);
    EXPECT_EQ(s->spoolers[0].jobs.error, 1u);
    EXPECT_EQ(s->spoolers[0].lastDelivery, ManualClock::kStart + 60);
    EXPECT_EQ(s->spoolers[1].lastDelivery, ManualClock::kStart + 120);
    EXPECT_EQ(s->passThroughSeconds.count, 1u);
    EXPECT_EQ(s->passThroughSeconds.counts[0], 1u);  // <= 0.1 s
    EXPECT_EQ(s->engineSeconds.count, 3u);
    EXPECT_DOUBLE_EQ(s->engineSeconds.sum, 414.5);
    EXPECT_EQ(s->engineSeconds.counts[4], 1u);      // 2.5 s falls in the bucket of 2.5
    EXPECT_EQ(s->engineSeconds.counts[7], 1u);      // 12 s in the bucket up to 30
    EXPECT_EQ(s->engineSeconds.counts.back(), 1u);  // 400 s beyond the last bound
}

// Readers take snapshots and render them on their own threads while the service reports
// thousands of changes: nothing a reader holds may change or vanish under it (the
// sanitizers would see it), and every change ends up counted.
TEST(StatusRecorder, ReadersNeverSeeAHalfMadeSnapshot) {
    Settings settings = TwoSpoolers();
    ManualClock clock;
    StatusRecorder recorder(nullptr, settings, clock);
    std::atomic<bool> done{false};
    std::atomic<int> inconsistent{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 4; ++r) {
        readers.emplace_back([&] {
            while (!done.load()) {
                const auto s = recorder.Current();
                std::uint64_t perSpooler = 0;
                for (const SpoolerStatus& sp : s->spoolers) perSpooler += sp.jobs.done;
                if (perSpooler != s->jobs.done || s->rows.size() > 501)
                    ++inconsistent;
                if (MetricsText(*s, {}).empty() || JobsJson(*s).empty())
                    ++inconsistent;
            }
        });
    }
    StatusList list;
    for (int i = 0; i < 800; ++i) {
        const std::string file = "p" + std::to_string(i) + "-M.tif";
        recorder.ShowJobRow(list.Record(Row(file, "Processing", "M")));
        recorder.ShowProgress(i % 100, "");
        recorder.JobFinished(i % 2, file, "Done", i % 3 == 0, 1.0);
        recorder.ShowJobRow(list.Record(Row(file, "Done", "M")));
    }
    done = true;
    for (std::thread& t : readers) t.join();
    EXPECT_EQ(inconsistent.load(), 0);
    EXPECT_EQ(recorder.Current()->jobs.done, 800u);
    EXPECT_EQ(recorder.Current()->rows.size(), list.Rows().size());
    EXPECT_EQ(recorder.Current()->rows.back()->file, "p799-M.tif");
}

}  // namespace
}  // namespace plexivar::testing
