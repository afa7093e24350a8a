#include "service/name_rewrite.h"

#include <boost/regex.hpp>
#include <exception>

#include "service/report/log_file.h"

namespace plexivar {
namespace {
std::string Cut(std::string_view text) {
    return std::string(text.substr(0, kMaxRewriteText));
}
}  // namespace

std::string RewriteName(std::string_view matchExpression, std::string_view formatExpression,
                        std::string_view name, std::string* error) {
    const std::string expression = Cut(matchExpression);
    const std::string format = Cut(formatExpression);
    const std::string subject = Cut(name);
    try {
        const boost::regex re(expression, boost::regex::perl);
        const auto flags = boost::match_partial | boost::format_default;
        if (!boost::regex_match(subject, re, flags))
            return std::string(name);
        return boost::regex_replace(subject, re, format, flags);
    } catch (const std::exception& e) {
        // Boost throws for an expression that does not compile and for a match that
        // exceeds its complexity limit; neither may stop the job.
        const std::string why = e.what();
        WriteLog("WARNING: Regular expression '%s' not used for %.*s: %s", expression.c_str(),
                 static_cast<int>(name.size()), name.data(), why.c_str());
        if (error)
            *error = why;
        return std::string(name);
    }
}

}  // namespace plexivar
