#include "tests/service/status/prometheus_parser.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <set>
#include <sstream>

namespace plexivar::testing {
namespace {

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
}
bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

bool ValidMetricName(const std::string& n) {
    if (n.empty() || !IsNameStart(n[0]))
        return false;
    for (char c : n)
        if (!IsNameChar(c))
            return false;
    return true;
}

bool ValidLabelName(const std::string& n) {
    if (n.empty() || n[0] == ':' || !IsNameStart(n[0]) || n.rfind("__", 0) == 0)
        return false;
    for (char c : n)
        if (!IsNameChar(c) || c == ':')
            return false;
    return true;
}

// A float as Go's ParseFloat reads it (what Prometheus uses), with the words it accepts.
bool ParseValue(const std::string& text, double& value) {
    if (text == "+Inf" || text == "Inf")
        return value = std::numeric_limits<double>::infinity(), true;
    if (text == "-Inf")
        return value = -std::numeric_limits<double>::infinity(), true;
    if (text == "NaN")
        return value = std::numeric_limits<double>::quiet_NaN(), true;
    const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
    const char* end = text.data() + text.size();
    if (begin == end)
        return false;
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end;
}

class LineReader {
  public:
    explicit LineReader(const std::string& line) : s_(line) {}
    bool AtEnd() const { return i_ >= s_.size(); }
    char Peek() const { return AtEnd() ? '\0' : s_[i_]; }
    bool Take(char c) {
        if (Peek() != c)
            return false;
        ++i_;
        return true;
    }
    std::string Name() {
        const std::size_t start = i_;
        while (!AtEnd() && IsNameChar(s_[i_])) ++i_;
        return s_.substr(start, i_ - start);
    }
    bool Blanks() {
        const std::size_t start = i_;
        while (Peek() == ' ' || Peek() == '\t') ++i_;
        return i_ > start;
    }
    std::string Token() {
        const std::size_t start = i_;
        while (!AtEnd() && s_[i_] != ' ' && s_[i_] != '\t') ++i_;
        return s_.substr(start, i_ - start);
    }
    // A label value after its opening quote: escapes \\, \" and \n only.
    bool QuotedValue(std::string& out) {
        while (!AtEnd()) {
            const char c = s_[i_++];
            if (c == '"')
                return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (AtEnd())
                return false;
            const char e = s_[i_++];
            if (e == '\\')
                out += '\\';
            else if (e == '"')
                out += '"';
            else if (e == 'n')
                out += '\n';
            else
                return false;
        }
        return false;
    }
    std::string Rest() const { return s_.substr(std::min(i_, s_.size())); }

  private:
    const std::string& s_;
    std::size_t i_ = 0;
};

// HELP text escapes: \\ and \n only.
bool UnescapeHelp(const std::string& in, std::string& out) {
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (++i == in.size())
            return false;
        if (in[i] == '\\')
            out += '\\';
        else if (in[i] == 'n')
            out += '\n';
        else
            return false;
    }
    return true;
}

std::string Key(const std::string& name, const Labels& labels) {
    std::string key = name + "{";
    for (const auto& [k, v] : labels) key += k + "=" + v + "\x1f";
    return key + "}";
}

// The family a sample belongs to, given the families declared so far.
std::string FamilyOf(const std::string& sample, const std::map<std::string, std::string>& types) {
    for (const char* suffix : {"_bucket", "_sum", "_count"}) {
        const std::string s = suffix;
        if (sample.size() > s.size() &&
            sample.compare(sample.size() - s.size(), s.size(), s) == 0) {
            const std::string base = sample.substr(0, sample.size() - s.size());
            const auto it = types.find(base);
            if (it != types.end() &&
                (it->second == "histogram" || (it->second == "summary" && s != "_bucket")))
                return base;
        }
    }
    return sample;
}

bool CheckHistogram(const MetricFamily& f, std::string& error) {
    struct Series {
        std::vector<std::pair<double, double>> buckets;  // le, cumulative count
        bool hasSum = false, hasCount = false;
        double count = 0;
    };
    std::map<std::string, Series> series;
    for (const MetricSample& s : f.samples) {
        Labels rest = s.labels;
        rest.erase("le");
        Series& one = series[Key("", rest)];
        if (s.name == f.name + "_bucket") {
            const auto le = s.labels.find("le");
            double bound = 0;
            if (le == s.labels.end() || !ParseValue(le->second, bound))
                return error = f.name + ": bucket without a valid le", false;
            if (!one.buckets.empty() && bound <= one.buckets.back().first)
                return error = f.name + ": buckets not in increasing le order", false;
            if (!one.buckets.empty() && s.value < one.buckets.back().second)
                return error = f.name + ": bucket counts are not cumulative", false;
            one.buckets.emplace_back(bound, s.value);
        } else if (s.name == f.name + "_sum") {
            one.hasSum = true;
        } else if (s.name == f.name + "_count") {
            one.hasCount = true;
            one.count = s.value;
        } else {
            return error = f.name + ": sample " + s.name + " in a histogram", false;
        }
    }
    for (const auto& [key, one] : series) {
        if (one.buckets.empty() || !std::isinf(one.buckets.back().first))
            return error = f.name + ": no +Inf bucket", false;
        if (!one.hasSum || !one.hasCount)
            return error = f.name + ": _sum or _count missing", false;
        if (one.buckets.back().second != one.count)
            return error = f.name + ": +Inf bucket differs from _count", false;
    }
    return true;
}

}  // namespace

bool Exposition::Parse(const std::string& text, std::string& error) {
    families_.clear();
    if (text.empty() || text.back() != '\n')
        return error = "the text does not end with a line end", false;
    std::map<std::string, std::string> types;  // family -> type, as declared
    std::set<std::string> seenSeries;
    std::set<std::string> helped;
    std::istringstream in(text);
    int number = 0;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(number) + ": " + why;
        return false;
    };
    // The family `name`, started when it is new; null when it was left for another one.
    std::set<std::string> started;
    auto familyNamed = [&](const std::string& name) -> MetricFamily* {
        if (!families_.empty() && families_.back().name == name)
            return &families_.back();
        if (!started.insert(name).second)
            return nullptr;
        families_.push_back(MetricFamily{name, "untyped", "", {}});
        return &families_.back();
    };
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.find('\r') != std::string::npos)
            return fail("carriage return");
        if (line.empty())
            continue;
        if (line[0] == '#') {
            LineReader r(line);
            r.Take('#');
            r.Blanks();
            const std::string keyword = r.Token();
            if (keyword != "HELP" && keyword != "TYPE")
                continue;  // a plain comment
            if (!r.Blanks())
                return fail("no blank after " + keyword);
            const std::string name = r.Name();
            if (!ValidMetricName(name))
                return fail("bad metric name in " + keyword);
            MetricFamily* family = familyNamed(name);
            if (!family)
                return fail(name + " appears again after other families");
            MetricFamily& f = *family;
            if (!f.samples.empty())
                return fail(keyword + " after the samples of " + name);
            if (keyword == "TYPE") {
                if (types.count(name))
                    return fail("second TYPE for " + name);
                r.Blanks();
                const std::string type = r.Token();
                if (type != "counter" && type != "gauge" && type != "histogram" &&
                    type != "summary" && type != "untyped")
                    return fail("unknown type " + type);
                if (!r.AtEnd())
                    return fail("text after the type");
                types[name] = f.type = type;
            } else {
                if (!helped.insert(name).second)
                    return fail("second HELP for " + name);
                if (!r.AtEnd() && !r.Blanks())
                    return fail("no blank before the help text");
                if (!UnescapeHelp(r.Rest(), f.help))
                    return fail("bad escape in HELP");
            }
            continue;
        }
        LineReader r(line);
        MetricSample sample;
        sample.name = r.Name();
        if (!ValidMetricName(sample.name))
            return fail("bad metric name");
        if (r.Take('{')) {
            while (!r.Take('}')) {
                const std::string label = r.Name();
                if (!ValidLabelName(label))
                    return fail("bad label name '" + label + "'");
                if (!r.Take('=') || !r.Take('"'))
                    return fail("label " + label + " without a quoted value");
                std::string value;
                if (!r.QuotedValue(value))
                    return fail("bad label value of " + label);
                if (!sample.labels.emplace(label, value).second)
                    return fail("label " + label + " twice");
                if (!r.Take(',') && r.Peek() != '}')
                    return fail("labels not separated by ','");
            }
        }
        if (!r.Blanks())
            return fail("no blank before the value");
        if (!ParseValue(r.Token(), sample.value))
            return fail("bad value");
        if (!r.AtEnd()) {
            r.Blanks();
            long long timestamp = 0;
            const std::string t = r.Token();
            const auto res = std::from_chars(t.data(), t.data() + t.size(), timestamp);
            if (res.ec != std::errc() || res.ptr != t.data() + t.size() || !r.AtEnd())
                return fail("bad timestamp or trailing text");
        }
        const std::string familyName = FamilyOf(sample.name, types);
        MetricFamily* family = familyNamed(familyName);
        if (!family)
            return fail("samples of " + familyName + " are not together");
        MetricFamily& f = *family;
        if (f.type == "counter" && (std::isnan(sample.value) || sample.value < 0))
            return fail("counter " + sample.name + " is negative or NaN");
        if (!seenSeries.insert(Key(sample.name, sample.labels)).second)
            return fail("series repeated: " + sample.name);
        f.samples.push_back(std::move(sample));
    }
    for (const MetricFamily& f : families_) {
        if (f.type == "histogram" && !CheckHistogram(f, error))
            return false;
    }
    return true;
}

const MetricFamily* Exposition::Family(const std::string& name) const {
    for (const MetricFamily& f : families_)
        if (f.name == name)
            return &f;
    return nullptr;
}

double Exposition::Value(const std::string& name, const Labels& labels) const {
    for (const MetricFamily& f : families_)
        for (const MetricSample& s : f.samples)
            if (s.name == name && s.labels == labels)
                return s.value;
    return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace plexivar::testing
