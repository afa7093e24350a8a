#include "service/report/console_view.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace plexivar {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::string Contents(std::FILE* f) {
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;) text += static_cast<char>(c);
    return text;
}

StatusListUpdate Row(const std::string& status, const std::string& comment) {
    StatusListUpdate u;
    u.row = {"09.12 08:00:01", status, "M", "page-M.tif", status == "Done" ? "3" : " ", comment, {}, {}};
    return u;
}

// What a plant's journal gets from a day of work: each state once, jobs with their
// priority, repeated errors not at every reconnect pass, nothing of the poll wait.
TEST(ConsoleView, PrintsWhatTheWindowWouldShowWithoutFloodingTheJournal) {
    File out(std::tmpfile()), err(std::tmpfile());
    ConsoleView view(out.get(), err.get(), true, false);
    view.ShowStatusText("Started");
    view.ShowStatusText("");
    view.ShowStatusText("Searching /hot..");
    view.ShowProgress(40, "Scanning..");
    view.ShowStatusText("Outputfolder /out full..");
    view.ShowStatusText("Outputfolder /out full..");
    view.ShowErrorLine("Unable to locate input folder /hot. Please check configuration");
    view.ShowErrorLine("");
    view.ShowErrorLine("Unable to locate input folder /hot. Please check configuration");
    view.ShowJobRow(Row("Processing", "Scaling image 99.500% x 100.000%  - centered"));
    view.ShowJobRow(Row("Done", "Image scaled 99.500% x 100.000%  - centered  (warning: margins)"));
    view.ShowJobRow(Row("Error", "Error opening TIFF file x"));
    view.ShowMessage("Error loading libvestrel.so");
    EXPECT_EQ(Contents(out.get()),
              "<6>Status: Started\n"
              "<6>Status: Outputfolder /out full..\n"
              "<3>Error: Unable to locate input folder /hot. Please check configuration\n"
              "<6>Job: 09.12 08:00:01  Processing  page-M.tif  M  Scaling image 99.500% x "
              "100.000%  - centered\n"
              "<4>Job: 09.12 08:00:01  Done  page-M.tif  M  3 s  Image scaled 99.500% x "
              "100.000%  - centered  (warning: margins)\n"
              "<3>Job: 09.12 08:00:01  Error  page-M.tif  M  Error opening TIFF file x\n");
    EXPECT_EQ(Contents(err.get()), "<3>Error loading libvestrel.so\n");
}

TEST(ConsoleView, VerboseShowsThePollWaitAndProgressInTens) {
    File out(std::tmpfile()), err(std::tmpfile());
    ConsoleView view(out.get(), err.get(), false, true);
    view.ShowStatusText("Searching /hot..");
    for (int p = 0; p <= 25; ++p) view.ShowProgress(p, "");
    EXPECT_EQ(Contents(out.get()),
              "Status: Searching /hot..\nProgress: 0%\nProgress: 10%\nProgress: 20%\n");
}

}  // namespace
}  // namespace plexivar
