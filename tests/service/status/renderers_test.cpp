// The three renderings of a snapshot: Prometheus text (read back by a strict parser), JSON
// (read back by nlohmann-json) and the HTML page; and the text conversion they share.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "service/status/display_text.h"
#include "service/status/metrics_text.h"
#include "service/status/status_json.h"
#include "service/status/status_page.h"
#include "service/status/status_recorder.h"
#include "tests/service/status/prometheus_parser.h"
#include "tests/support/manual_clock.h"

namespace plexivar::testing {
namespace {

using nlohmann::json;

// A service with two spoolers that has run a few jobs, as the recorder saw it.
class Rendered : public ::testing::Test {
  protected:
    Rendered() {
        settings_.service.NumberOfSpoolers = 2;
        settings_.Spooler(1).InputFolder = "/plant/hot \"1\"";
        settings_.Spooler(2).InputFolder =
            "/plant/r\xF8"
            "d";  // Windows-1252
        settings_.Spooler(2).Enable = 0;
        recorder_.RunStateChanged(true);
        recorder_.ShowSpoolerImage(0, kSpoolerIdle);
        recorder_.SpoolerScanned(0, 0, 1, 4);
        clock_.Advance(std::chrono::seconds(90));
        Job("0042-1183407-C.tif", "Done", "C", 0, "No action required", true, 0.04);
        Job("page<script>-M.tif", "Done", "M", 12, "Image scaled 99.500% x 100.000%", false, 12.3);
        Job("bl\xE5-K.tif", "Error", "bl\xE5", 3, "TIFF read error", false, 3.0);
        StatusRow processing;
        processing.file = "late-Y.tif";
        processing.status = "Processing";
        processing.statusColours = StatusColours("Processing");
        processing.seconds = " ";
        recorder_.ShowJobRow(list_.Record(processing));
        recorder_.ShowErrorLine("TIFF read error");
        recorder_.ShowStatusText("Resampling late-Y.tif..");
        recorder_.ShowProgress(40, "");
    }

    void Job(const std::string& file, const std::string& status, const std::string& colour,
             int seconds, const std::string& comment, bool passThrough, double wall) {
        StatusRow row;
        row.time = "09.12 08:01:30";
        row.file = file;
        row.status = status;
        row.statusColours = StatusColours(status);
        row.color = colour.substr(0, 1);
        row.colorColours = ColourCellColours(colour);
        row.seconds = seconds > 0 ? std::to_string(seconds) : " ";
        row.comment = comment;
        recorder_.ShowJobRow(list_.Record(row));
        recorder_.JobFinished(0, file, status == "Done" ? "Done" : "Error", passThrough, wall);
    }

    Settings settings_;
    ManualClock clock_;
    StatusRecorder recorder_{nullptr, settings_, clock_};
    StatusList list_;
};

TEST_F(Rendered, MetricsReadBackStrictlyWithTheCountsOfTheService) {
    const auto s = recorder_.Current();
    struct Case {
        ServiceHealth health;
        double inUse, connected, engine;
    };
    for (const Case& c : {Case{{false, false, false}, 0, 0, 0}, Case{{true, false, true}, 1, 0, 1},
                          Case{{true, true, true}, 1, 1, 1}, Case{{false, true, false}, 0, 0, 0}}) {
        Exposition e;
        std::string error;
        ASSERT_TRUE(e.Parse(MetricsText(*s, c.health), error)) << error;
        EXPECT_EQ(e.Value("plexivar_database_in_use"), c.inUse);
        EXPECT_EQ(e.Value("plexivar_database_connected"), c.connected);
        EXPECT_EQ(e.Value("plexivar_engine_bound"), c.engine);
    }

    Exposition e;
    std::string error;
    ASSERT_TRUE(e.Parse(MetricsText(*s, {}), error)) << error;
    for (const auto& [name, type] : std::vector<std::pair<std::string, std::string>>{
             {"plexivar_jobs_total", "counter"},
             {"plexivar_job_seconds", "histogram"},
             {"plexivar_files_waiting", "gauge"},
             {"plexivar_spooler_running", "gauge"},
             {"plexivar_last_delivery_timestamp_seconds", "gauge"},
             {"plexivar_database_connected", "gauge"},
             {"plexivar_engine_bound", "gauge"}}) {
        ASSERT_NE(e.Family(name), nullptr) << name;
        EXPECT_EQ(e.Family(name)->type, type) << name;
        EXPECT_FALSE(e.Family(name)->help.empty()) << name;
    }
    EXPECT_EQ(e.Value("plexivar_jobs_total", {{"spooler", "1"}, {"status", "done"}}), 2);
    EXPECT_EQ(e.Value("plexivar_jobs_total", {{"spooler", "1"}, {"status", "error"}}), 1);
    EXPECT_EQ(e.Value("plexivar_jobs_total", {{"spooler", "2"}, {"status", "done"}}), 0);
    EXPECT_EQ(e.Value("plexivar_files_waiting", {{"spooler", "1"}}), 1);  // 4 found, 3 taken
    EXPECT_EQ(e.Value("plexivar_spooler_running", {{"spooler", "1"}}), 1);
    EXPECT_EQ(e.Value("plexivar_spooler_running", {{"spooler", "2"}}), 0);  // disabled
    EXPECT_EQ(e.Value("plexivar_last_delivery_timestamp_seconds", {{"spooler", "1"}}),
              ManualClock::kStart + 90);
    // No delivery yet: the start stands in, so an alert on the age counts from the start.
    EXPECT_EQ(e.Value("plexivar_last_delivery_timestamp_seconds", {{"spooler", "2"}}),
              ManualClock::kStart);
    EXPECT_EQ(e.Value("plexivar_job_seconds_count", {{"kind", "engine"}}), 2);
    EXPECT_DOUBLE_EQ(e.Value("plexivar_job_seconds_sum", {{"kind", "engine"}}), 15.3);
    EXPECT_EQ(e.Value("plexivar_job_seconds_bucket", {{"kind", "engine"}, {"le", "5"}}), 1);
    EXPECT_EQ(e.Value("plexivar_job_seconds_bucket", {{"kind", "engine"}, {"le", "+Inf"}}), 2);
    EXPECT_EQ(e.Value("plexivar_job_seconds_bucket", {{"kind", "pass_through"}, {"le", "0.1"}}), 1);
}

TEST(PrometheusParser, RefusesWhatBreaksTheFormat) {
    const std::vector<std::pair<const char*, std::string>> bad = {
        {"no final line end", "a 1"},
        {"bad name", "1a 1\n"},
        {"bad value", "a one\n"},
        {"unquoted label", "a{b=c} 1\n"},
        {"bad escape", "a{b=\"\\t\"} 1\n"},
        {"label twice", "a{b=\"1\",b=\"2\"} 1\n"},
        {"reserved label", "a{__b=\"1\"} 1\n"},
        {"type after samples", "a 1\n# TYPE a gauge\n"},
        {"second type", "# TYPE a gauge\n# TYPE a gauge\na 1\n"},
        {"unknown type", "# TYPE a meter\na 1\n"},
        {"family split", "a 1\nb 1\na{x=\"1\"} 2\n"},
        {"repeated series", "a{x=\"1\"} 1\na{x=\"1\"} 2\n"},
        {"negative counter", "# TYPE a counter\na -1\n"},
        {"histogram not cumulative",
         "# TYPE h histogram\nh_bucket{le=\"1\"} 2\nh_bucket{le=\"+Inf\"} 1\nh_sum 1\nh_count 1\n"},
        {"histogram without +Inf",
         "# TYPE h histogram\nh_bucket{le=\"1\"} 1\nh_sum 1\nh_count 1\n"},
        {"+Inf differs from count",
         "# TYPE h histogram\nh_bucket{le=\"+Inf\"} 1\nh_sum 1\nh_count 2\n"},
        {"carriage return", "a 1\r\n"},
        {"trailing text", "a 1 2 3\n"},
    };
    for (const auto& [why, text] : bad) {
        Exposition e;
        std::string error;
        EXPECT_FALSE(e.Parse(text, error)) << why;
    }
    Exposition e;
    std::string error;
    EXPECT_TRUE(e.Parse(
        "# HELP a x\\ny\n# TYPE a gauge\na{b=\"q\\\"\\\\\",} -Inf 1700000000000\n# note\n\nb NaN\n",
        error))
        << error;
    EXPECT_EQ(e.Family("a")->help, "x\ny");
    EXPECT_EQ(e.Value("a", {{"b", "q\"\\"}}), -INFINITY);
}

TEST_F(Rendered, JsonCarriesTheRowsAndSpoolersAsUtf8) {
    const auto s = recorder_.Current();
    const json jobs = json::parse(JobsJson(*s));
    ASSERT_EQ(jobs["rows"].size(), 4u);
    const json& first = jobs["rows"][0];  // oldest first, as in the window
    EXPECT_EQ(first["file"], "0042-1183407-C.tif");
    EXPECT_EQ(first["status"], "Done");
    EXPECT_EQ(first["seconds"], nullptr);
    EXPECT_EQ(first["statusColours"], json({{"text", "#000000"}, {"background", "#00ff00"}}));
    EXPECT_EQ(first["colorColours"], json({{"text", "#000000"}, {"background", "#00ffff"}}));
    const json& failed = jobs["rows"][2];
    EXPECT_EQ(failed["file"], "bl\xC3\xA5-K.tif");  // read as Windows-1252, sent as UTF-8
    EXPECT_EQ(failed["seconds"], 3);
    EXPECT_EQ(failed["statusColours"]["background"], "#ff0000");
    EXPECT_EQ(failed["colorColours"]["background"], "#00ffff");  // "blå" is cyan
    EXPECT_EQ(jobs["rows"][3]["colorColours"], nullptr);
    EXPECT_EQ(jobs["totals"], json({{"done", 2}, {"error", 1}, {"passThrough", 1}, {"engine", 2}}));
    EXPECT_EQ(jobs["version"], s->jobsVersion);

    const json spoolers = json::parse(SpoolersJson(*s, {true, false, true}));
    EXPECT_EQ(spoolers["running"], true);
    EXPECT_EQ(spoolers["errorLine"], "TIFF read error");
    EXPECT_EQ(spoolers["statusLine"], "Resampling late-Y.tif..");
    EXPECT_EQ(spoolers["progress"], json({{"percent", 40}, {"caption", ""}}));
    EXPECT_EQ(spoolers["database"], json({{"inUse", true}, {"connected", false}}));
    EXPECT_EQ(spoolers["engineBound"], true);
    EXPECT_EQ(spoolers["startedAt"], "2026-12-09T08:00:00Z");
    ASSERT_EQ(spoolers["spoolers"].size(), 2u);
    EXPECT_EQ(spoolers["spoolers"][0]["state"], "idle");
    EXPECT_EQ(spoolers["spoolers"][0]["inputFolder"], "/plant/hot \"1\"");
    EXPECT_EQ(spoolers["spoolers"][0]["filesWaiting"], 1);
    EXPECT_EQ(spoolers["spoolers"][0]["jobs"], json({{"done", 2}, {"error", 1}}));
    EXPECT_EQ(spoolers["spoolers"][0]["lastDelivery"], "2026-12-09T08:01:30Z");
    EXPECT_EQ(spoolers["spoolers"][1]["state"], "disabled");
    EXPECT_EQ(spoolers["spoolers"][1]["inputFolder"],
              "/plant/r\xC3\xB8"
              "d");
    EXPECT_EQ(spoolers["spoolers"][1]["lastDelivery"], nullptr);
}

TEST_F(Rendered, PageShowsTheWindowsColumnsAndColoursAndLoadsNothingFromOutside) {
    const std::string page = StatusPage(*recorder_.Current(), {}, "\"1a\"");
    auto at = [&](const std::string& part) { return page.find(part); };
    // The window's columns in its order, the newest row first.
    const std::size_t time = at("<th>Time</th>"), status = at("<th>Status</th>"),
                      color = at("<th>Color</th>"), file = at("<th>File</th>"),
                      seconds = at("<th>Seconds</th>"), comment = at("<th>Comment</th>");
    ASSERT_NE(time, std::string::npos);
    EXPECT_TRUE(time < status && status < color && color < file && file < seconds &&
                seconds < comment);
    EXPECT_LT(at("late-Y.tif"), at("0042-1183407-C.tif"));
    // Cell colours as in the window: red with white text for errors, cyan for C, yellow
    // for "Processing"; the error line is drawn active while it has text.
    EXPECT_NE(at("style=\"color:#ffffff;background:#ff0000\">Error</td>"), std::string::npos);
    EXPECT_NE(at("style=\"color:#000000;background:#00ffff\">C</td>"), std::string::npos);
    EXPECT_NE(at("style=\"color:#000000;background:#ffff00\">Processing</td>"), std::string::npos);
    EXPECT_NE(at("class=\"line error active\" id=\"error-line\">TIFF read error</div>"),
              std::string::npos);
    EXPECT_NE(at("<span class=\"state idle\">idle</span>"), std::string::npos);
    EXPECT_NE(at("<span class=\"state disabled\">disabled</span>"), std::string::npos);
    EXPECT_NE(at(">40%</div>"), std::string::npos);  // empty caption: the percentage
    EXPECT_NE(at("data-etag=\"&quot;1a&quot;\""), std::string::npos);
    // Texts are escaped, and converted to UTF-8.
    EXPECT_EQ(at("page<script>"), std::string::npos);
    EXPECT_NE(at("page&lt;script&gt;-M.tif"), std::string::npos);
    EXPECT_NE(at("/plant/hot &quot;1&quot;"), std::string::npos);
    EXPECT_NE(at("bl\xC3\xA5-K.tif"), std::string::npos);
    // Self-contained: no script, style sheet, font or image from anywhere.
    for (const char* outside : {"src=", "href=", "@import", "url(", "http://", "https://"})
        EXPECT_EQ(at(outside), std::string::npos) << outside;
    EXPECT_NE(at("<noscript><meta http-equiv=\"refresh\" content=\"10\"></noscript>"),
              std::string::npos);

    recorder_.ShowErrorLine("");
    const std::string cleared = StatusPage(*recorder_.Current(), {}, "\"1b\"");
    EXPECT_NE(cleared.find("class=\"line error\" id=\"error-line\"></div>"), std::string::npos);
}

TEST(DisplayText, KeepsUtf8AndReadsAnythingElseAsWindows1252) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain-K.tif", "plain-K.tif"},
        {"r\xC3\xB8"
         "d-M.tif",
         "r\xC3\xB8"
         "d-M.tif"},  // UTF-8 stays
        {"r\xF8"
         "d-M.tif",
         "r\xC3\xB8"
         "d-M.tif"},                                       // Windows-1252 "ø"
        {"\x80 \x9F", "\xE2\x82\xAC \xC5\xB8"},            // the 0x80..0x9F block: € and Ÿ
        {"\x81", "\xEF\xBF\xBD"},                          // unassigned in Windows-1252
        {"\xC3", "\xC3\x83"},                              // a cut UTF-8 sequence
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},  // an encoded surrogate is not UTF-8
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                  // nor is an overlong form
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(DisplayText(in), out) << in;
    EXPECT_EQ(HtmlText("<a href='x'>&\"</a>"), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;&lt;/a&gt;");
}

}  // namespace
}  // namespace plexivar::testing
