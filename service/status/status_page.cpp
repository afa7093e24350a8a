#include "service/status/status_page.h"

#include "platform/c_locale.h"
#include "service/status/display_text.h"

namespace plexivar {
namespace {

constexpr const char* kHead = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Plexivar status</title>
<noscript><meta http-equiv="refresh" content="10"></noscript>
<style>
body { font: 14px/1.35 system-ui, "DejaVu Sans", sans-serif; margin: 0; background: #eef0f3; color: #111; }
header { display: flex; align-items: baseline; gap: 1em; padding: .6em 1em; background: #1d2b3a; color: #fff; }
header h1 { font-size: 1.2em; margin: 0; }
header .asof { margin-left: auto; font-size: .9em; opacity: .85; }
.conn { margin: 0 1em .8em; font-size: .85em; color: #555; }
main { padding: .8em 1em; }
.run { padding: .1em .6em; border-radius: .8em; font-weight: 600; }
.run.on { background: #2e9b4e; } .run.off { background: #8a8f96; }
.progress { position: relative; height: 1.4em; background: #fff; border: 1px solid #9aa3ad; margin-bottom: .8em; }
.progress .fill { position: absolute; inset: 0 auto 0 0; background: #3874d8; }
.progress .caption { position: relative; text-align: center; mix-blend-mode: difference; color: #fff; }
table { border-collapse: collapse; background: #fff; }
th, td { border: 1px solid #c4c9cf; padding: .15em .4em; text-align: left; vertical-align: top; }
th { background: #dde2e8; font-weight: 600; }
.spoolers { margin-bottom: .8em; }
.state { font-weight: 600; padding: 0 .5em; border-radius: .3em; }
.state.idle { background: #c9efd3; } .state.searching { background: #cfe0ff; }
.state.disabled { background: #e2e2e2; color: #666; } .state.stopped { background: #f3dcb8; }
.num { text-align: right; }
.line { background: #fff; border: 1px solid #9aa3ad; padding: .2em .5em; min-height: 1.35em; margin-bottom: .8em; }
.error { margin: .8em 0; }
.error.active { background: #ff0000; color: #fff; border-color: #c00; font-weight: 600; }
.jobs { table-layout: fixed; width: 870px; font-size: 13px; }
.jobs th, .jobs td { padding: .15em .3em; }
.jobs th { font-size: 12px; padding: .15em .2em; }
.jobs td { overflow: hidden; text-overflow: ellipsis; white-space: nowrap; }
.totals { color: #333; }
.stale header { background: #8b1d1d; }
</style>
</head>
<body>
)";

// Asks for the page again with the ETag it has; a 200 brings new content, which replaces
// the live part of the page. A failed request marks the page stale until the next answer.
constexpr const char* kScript = R"(<script>
(function () {
  var live = document.getElementById('live');
  var etag = live.getAttribute('data-etag');
  var every = Number(live.getAttribute('data-refresh')) * 1000;
  function poll() {
    fetch(location.pathname, { headers: { 'If-None-Match': etag }, cache: 'no-store' })
      .then(function (r) {
        document.body.classList.remove('stale');
        if (r.status !== 200) return;
        etag = r.headers.get('ETag') || etag;
        return r.text().then(function (html) {
          var next = new DOMParser().parseFromString(html, 'text/html').getElementById('live');
          if (next) { live.replaceWith(next); live = next; }
        });
      })
      .catch(function () { document.body.classList.add('stale'); })
      .then(function () {
        var conn = document.getElementById('conn');
        if (conn) conn.textContent = document.body.classList.contains('stale')
          ? 'connection lost, retrying' : 'live, refreshing every ' + every / 1000 + ' s';
        setTimeout(poll, every);
      });
  }
  setTimeout(poll, every);
})();
</script>
)";

std::string LocalTimeText(std::time_t time) {
    if (time == 0)
        return "-";
    std::tm local{};
    localtime_r(&time, &local);
    return platform::Format("%.2d.%.2d %.2d:%.2d:%.2d", local.tm_mday, local.tm_mon + 1,
                            local.tm_hour, local.tm_min, local.tm_sec);
}

std::string Style(const CellColours& c) {
    if (!c.set)
        return "";
    return platform::Format(" style=\"color:#%02x%02x%02x;background:#%02x%02x%02x\"", c.text.r,
                            c.text.g, c.text.b, c.background.r, c.background.g, c.background.b);
}

std::string Cell(const std::string& text, const char* extraAttributes = "") {
    return std::string("<td") + extraAttributes + ">" + HtmlText(text) + "</td>";
}

void Header(std::string& out, const StatusSnapshot& s) {
    out += "<header><h1>Plexivar</h1>";
    out += s.running ? "<span class=\"run on\">Running</span>"
                     : "<span class=\"run off\">Stopped</span>";
    out += "<span>since " + LocalTimeText(s.startedAt) + "</span>";
    out += "<span class=\"asof\">as of " + LocalTimeText(s.takenAt) + "</span></header>\n";
}

void Progress(std::string& out, const StatusSnapshot& s) {
    const std::string caption =
        s.progressCaption.empty() ? platform::Format("%d%%", s.progress) : s.progressCaption;
    out += platform::Format(
        "<div class=\"progress\" role=\"progressbar\" aria-valuenow=\"%d\"><div class=\"fill\" "
        "style=\"width:%d%%\"></div><div class=\"caption\">",
        s.progress, s.progress);
    out += HtmlText(caption) + "</div></div>\n";
}

void Spoolers(std::string& out, const StatusSnapshot& s) {
    out +=
        "<table class=\"spoolers\"><thead><tr><th>Spooler</th><th>State</th><th>Input folder</th>"
        "<th>Output folder</th><th>Waiting</th><th>Done</th><th>Errors</th>"
        "<th>Last delivery</th></tr></thead><tbody>\n";
    for (const SpoolerStatus& sp : s.spoolers) {
        const char* state = SpoolerStateName(sp.State(s.running));
        out += platform::Format(
            "<tr><td class=\"num\">%d</td><td><span class=\"state %s\">%s</span></td>", sp.number,
            state, state);
        out += Cell(sp.inputFolder) + Cell(sp.outputFolder);
        out += sp.inputReadable ? Cell(std::to_string(sp.filesWaiting), " class=\"num\"")
                                : Cell("unreadable", " class=\"num\"");
        out += Cell(std::to_string(sp.jobs.done), " class=\"num\"") +
               Cell(std::to_string(sp.jobs.error), " class=\"num\"") +
               Cell(LocalTimeText(sp.lastDelivery)) + "</tr>\n";
    }
    out += "</tbody></table>\n";
}

void Jobs(std::string& out, const StatusSnapshot& s) {
    // Column widths in pixels as in the operator window.
    out +=
        "<table class=\"jobs\"><colgroup><col style=\"width:120px\"><col style=\"width:90px\">"
        "<col style=\"width:50px\"><col style=\"width:250px\"><col style=\"width:60px\">"
        "<col style=\"width:300px\"></colgroup>\n<thead><tr><th>Time</th><th>Status</th>"
        "<th>Color</th><th>File</th><th>Seconds</th><th>Comment</th></tr></thead><tbody>\n";
    for (auto it = s.rows.rbegin(); it != s.rows.rend(); ++it) {
        const StatusRow& row = **it;
        out += "<tr>" + Cell(row.time);
        out += "<td" + Style(row.statusColours) + ">" + HtmlText(row.status) + "</td>";
        out += "<td" + Style(row.colorColours) + ">" + HtmlText(row.color) + "</td>";
        // Long names and comments are cut to the column; the whole text shows on hover.
        out += "<td title=\"" + HtmlText(row.file) + "\">" + HtmlText(row.file) + "</td>";
        out += Cell(row.seconds, " class=\"num\"");
        out +=
            "<td title=\"" + HtmlText(row.comment) + "\">" + HtmlText(row.comment) + "</td></tr>\n";
    }
    out += "</tbody></table>\n";
}

void Totals(std::string& out, const StatusSnapshot& s, const ServiceHealth& h) {
    const char* database = !h.databaseInUse      ? "not in use"
                           : h.databaseConnected ? "connected"
                                                 : "not connected";
    out += platform::Format(
        "<p class=\"totals\">Since the start: %llu done, %llu failed (%llu passed through, %llu "
        "resampled). Database: %s. Engine: %s.</p>\n",
        static_cast<unsigned long long>(s.jobs.done), static_cast<unsigned long long>(s.jobs.error),
        static_cast<unsigned long long>(s.passThroughSeconds.count),
        static_cast<unsigned long long>(s.engineSeconds.count), database,
        h.engineBound ? "bound" : "not bound");
}

}  // namespace

std::string StatusPage(const StatusSnapshot& s, const ServiceHealth& health,
                       const std::string& etag) {
    std::string out = kHead;
    out.reserve(4096 + s.rows.size() * 400);
    out += "<div id=\"live\" data-etag=\"" + HtmlText(etag) +
           platform::Format("\" data-refresh=\"%d\">\n", kPageRefreshSeconds);
    Header(out, s);
    out += "<main>\n";
    Progress(out, s);
    Spoolers(out, s);
    out += "<div class=\"line status\" id=\"status-line\">" + HtmlText(s.statusLine) + "</div>\n";
    Jobs(out, s);
    out += std::string("<div class=\"line error") + (s.errorLine.empty() ? "" : " active") +
           "\" id=\"error-line\">" + HtmlText(s.errorLine) + "</div>\n";
    Totals(out, s, health);
    out += "</main>\n</div>\n<p class=\"conn\" id=\"conn\"></p>\n";
    out += kScript;
    out += "</body>\n</html>\n";
    return out;
}

}  // namespace plexivar
