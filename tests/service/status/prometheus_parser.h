// A strict reader of the Prometheus text exposition format (version 0.0.4), for tests that
// take the service's /metrics apart again. It refuses what a lenient scraper would let
// pass: malformed names, labels or values, a TYPE or HELP after the family's samples or
// given twice, a family whose samples are not together, repeated series, negative
// counters, histograms whose buckets are not cumulative or do not end in +Inf = _count,
// and a text that does not end with a line end.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace plexivar::testing {

using Labels = std::map<std::string, std::string>;

struct MetricSample {
    std::string name;  // as written, e.g. "plexivar_job_seconds_bucket"
    Labels labels;
    double value = 0.0;
};

struct MetricFamily {
    std::string name;
    std::string type = "untyped";
    std::string help;
    std::vector<MetricSample> samples;
};

class Exposition {
  public:
    // Parses `text`; false with `error` ("line 12: ...") when it breaks a rule.
    bool Parse(const std::string& text, std::string& error);

    const std::vector<MetricFamily>& families() const { return families_; }
    const MetricFamily* Family(const std::string& name) const;
    // The value of the sample `name` with exactly `labels`; NaN when there is none.
    double Value(const std::string& name, const Labels& labels = {}) const;

  private:
    std::vector<MetricFamily> families_;
};

}  // namespace plexivar::testing
