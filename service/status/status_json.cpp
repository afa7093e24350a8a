#include "service/status/status_json.h"

#include <nlohmann/json.hpp>

#include "platform/c_locale.h"
#include "service/status/display_text.h"

namespace plexivar {
namespace {

using nlohmann::json;

std::string Hex(const Rgb& c) {
    return platform::Format("#%02x%02x%02x", c.r, c.g, c.b);
}

json Colours(const CellColours& c) {
    if (!c.set)
        return nullptr;
    return {{"text", Hex(c.text)}, {"background", Hex(c.background)}};
}

json Row(const StatusRow& row) {
    const int seconds = platform::ParseInt(row.seconds);
    return {{"time", DisplayText(row.time)},
            {"status", DisplayText(row.status)},
            {"color", DisplayText(row.color)},
            {"file", DisplayText(row.file)},
            {"seconds", seconds > 0 ? json(seconds) : json(nullptr)},
            {"comment", DisplayText(row.comment)},
            {"statusColours", Colours(row.statusColours)},
            {"colorColours", Colours(row.colorColours)}};
}

json Counts(const JobCounts& c) {
    return {{"done", c.done}, {"error", c.error}};
}

// Every text went through DisplayText, so the document is valid UTF-8 and dump cannot
// throw; `replace` is the second line of defence.
std::string Dump(const json& document) {
    return document.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace

std::string IsoUtc(std::time_t time) {
    std::tm utc{};
    gmtime_r(&time, &utc);
    return platform::Format("%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                            utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}

std::string JobsJson(const StatusSnapshot& s) {
    json rows = json::array();
    for (const auto& row : s.rows) rows.push_back(Row(*row));
    const json document = {{"version", s.jobsVersion},
                           {"takenAt", IsoUtc(s.takenAt)},
                           {"rows", std::move(rows)},
                           {"totals",
                            {{"done", s.jobs.done},
                             {"error", s.jobs.error},
                             {"passThrough", s.passThroughSeconds.count},
                             {"engine", s.engineSeconds.count}}}};
    return Dump(document);
}

std::string SpoolersJson(const StatusSnapshot& s, const ServiceHealth& health) {
    json spoolers = json::array();
    for (const SpoolerStatus& sp : s.spoolers) {
        spoolers.push_back(
            {{"number", sp.number},
             {"state", SpoolerStateName(sp.State(s.running))},
             {"inputFolder", DisplayText(sp.inputFolder)},
             {"outputFolder", DisplayText(sp.outputFolder)},
             {"filesWaiting", sp.filesWaiting},
             {"inputReadable", sp.inputReadable},
             {"jobs", Counts(sp.jobs)},
             {"lastDelivery", sp.lastDelivery ? json(IsoUtc(sp.lastDelivery)) : json(nullptr)}});
    }
    const json document = {
        {"version", s.version},
        {"takenAt", IsoUtc(s.takenAt)},
        {"startedAt", IsoUtc(s.startedAt)},
        {"running", s.running},
        {"statusLine", DisplayText(s.statusLine)},
        {"errorLine", DisplayText(s.errorLine)},
        {"progress", {{"percent", s.progress}, {"caption", DisplayText(s.progressCaption)}}},
        {"database",
         {{"inUse", health.databaseInUse},
          {"connected", health.databaseInUse && health.databaseConnected}}},
        {"engineBound", health.engineBound},
        {"spoolers", std::move(spoolers)}};
    return Dump(document);
}

}  // namespace plexivar
