#include "service/status/metrics_text.h"

#include "platform/c_locale.h"

namespace plexivar {
namespace {

// Writes one metric family: its HELP and TYPE lines, then the samples the caller adds.
class Exposition {
  public:
    void Family(const char* name, const char* type, const char* help) {
        out_ += platform::Format("# HELP %s %s\n# TYPE %s %s\n", name, help, name, type);
    }
    // `labels` is the inside of the braces (already escaped), or empty.
    void Sample(const std::string& name, const std::string& labels, const std::string& value) {
        out_ += name;
        if (!labels.empty())
            out_ += "{" + labels + "}";
        out_ += " " + value + "\n";
    }
    std::string Take() { return std::move(out_); }

  private:
    std::string out_;
};

std::string Count(std::uint64_t n) {
    return platform::Format("%llu", static_cast<unsigned long long>(n));
}
std::string Real(double v) {
    return platform::Format("%.17g", v);
}
std::string Flag(bool b) {
    return b ? "1" : "0";
}
std::string SpoolerLabel(const SpoolerStatus& s) {
    return platform::Format("spooler=\"%d\"", s.number);
}

void Histogram(Exposition& e, const char* name, const char* kind, const JobSecondsHistogram& h) {
    const std::string label = std::string("kind=\"") + kind + "\"";
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i < JobSecondsHistogram::kBounds.size(); ++i) {
        cumulative += h.counts[i];
        e.Sample(std::string(name) + "_bucket",
                 label + platform::Format(",le=\"%g\"", JobSecondsHistogram::kBounds[i]),
                 Count(cumulative));
    }
    e.Sample(std::string(name) + "_bucket", label + ",le=\"+Inf\"", Count(h.count));
    e.Sample(std::string(name) + "_sum", label, Real(h.sum));
    e.Sample(std::string(name) + "_count", label, Count(h.count));
}

}  // namespace

std::string MetricsText(const StatusSnapshot& s, const ServiceHealth& health) {
    Exposition e;
    e.Family("plexivar_jobs_total", "counter",
             "Jobs finished since the service started, by spooler and status.");
    for (const SpoolerStatus& sp : s.spoolers) {
        e.Sample("plexivar_jobs_total", SpoolerLabel(sp) + ",status=\"done\"", Count(sp.jobs.done));
        e.Sample("plexivar_jobs_total", SpoolerLabel(sp) + ",status=\"error\"",
                 Count(sp.jobs.error));
    }

    e.Family("plexivar_job_seconds", "histogram",
             "Wall time of finished jobs in seconds, passed through or resampled.");
    Histogram(e, "plexivar_job_seconds", "pass_through", s.passThroughSeconds);
    Histogram(e, "plexivar_job_seconds", "engine", s.engineSeconds);

    e.Family("plexivar_files_waiting", "gauge",
             "Files found by the latest scan of the spooler's hot folder and not yet taken.");
    for (const SpoolerStatus& sp : s.spoolers)
        e.Sample("plexivar_files_waiting", SpoolerLabel(sp),
                 Count(static_cast<std::uint64_t>(sp.filesWaiting)));

    e.Family("plexivar_input_folder_readable", "gauge",
             "1 when the latest scan could read the spooler's hot folder.");
    for (const SpoolerStatus& sp : s.spoolers)
        e.Sample("plexivar_input_folder_readable", SpoolerLabel(sp), Flag(sp.inputReadable));

    e.Family("plexivar_spooler_running", "gauge",
             "1 while the spoolers run and this spooler is enabled.");
    for (const SpoolerStatus& sp : s.spoolers)
        e.Sample("plexivar_spooler_running", SpoolerLabel(sp), Flag(s.running && sp.enabled));

    // Before the first delivery the start time stands in, so that "no delivery for N
    // minutes" counts from the start and not from 1970.
    e.Family(
        "plexivar_last_delivery_timestamp_seconds", "gauge",
        "Unix time of the spooler's last successful job (the service start before the first).");
    for (const SpoolerStatus& sp : s.spoolers)
        e.Sample("plexivar_last_delivery_timestamp_seconds", SpoolerLabel(sp),
                 platform::Format("%lld", static_cast<long long>(sp.lastDelivery ? sp.lastDelivery
                                                                                 : s.startedAt)));

    e.Family("plexivar_start_time_seconds", "gauge", "Unix time the service started.");
    e.Sample("plexivar_start_time_seconds", "",
             platform::Format("%lld", static_cast<long long>(s.startedAt)));

    e.Family("plexivar_database_in_use", "gauge",
             "1 when jobs are reported to the production database.");
    e.Sample("plexivar_database_in_use", "", Flag(health.databaseInUse));
    e.Family("plexivar_database_connected", "gauge",
             "1 while the connection to the production database is open.");
    e.Sample("plexivar_database_connected", "",
             Flag(health.databaseInUse && health.databaseConnected));

    e.Family("plexivar_engine_bound", "gauge", "1 when the resampling engine is loaded and bound.");
    e.Sample("plexivar_engine_bound", "", Flag(health.engineBound));
    return e.Take();
}

}  // namespace plexivar
