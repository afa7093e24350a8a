// Rewriting of input file names by a regular expression before the colour is looked up,
// so that names from other systems ("page(Cyan).tif") can be mapped onto the pattern.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plexivar {

// Expressions and names are used up to this many characters.
inline constexpr std::size_t kMaxRewriteText = 1024;

// Compiles `matchExpression` (Perl syntax) and, when the whole name matches it, or ends
// while the expression could still complete (a partial match), returns the name with
// every match replaced by `formatExpression` ("$1", "$2" ... name the groups; text outside
// the matches is kept). Without a match the name comes back unchanged.
//
// An expression that does not compile, or a match that gives up (too complex), leaves the
// name unchanged; the reason goes to the log and, when given, to `error`.
std::string RewriteName(std::string_view matchExpression, std::string_view formatExpression,
                        std::string_view name, std::string* error = nullptr);

}  // namespace plexivar
