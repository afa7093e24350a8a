#include "tools/vestrel/vestrel_options.h"

#include <cmath>

#include "platform/c_locale.h"

namespace plexivar::tools {
namespace {

bool ParseNumber(const std::string& text, double& value) {
    return platform::ParseRealStrict(text, value);
}

bool ParseInteger(const std::string& text, int& value) {
    double v = 0;
    if (!ParseNumber(text, v) || v != std::floor(v) || std::fabs(v) > 1e9) return false;
    value = static_cast<int>(v);
    return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return parts;
}

// "X" or "XxY": one value for both axes, or two.
bool ParsePair(const std::string& text, double& x, double& y) {
    const auto parts = Split(text, 'x');
    if (parts.size() == 1) return ParseNumber(parts[0], x) && ParseNumber(parts[0], y);
    return parts.size() == 2 && ParseNumber(parts[0], x) && ParseNumber(parts[1], y);
}

ParsedCommand Fail(std::string why) {
    ParsedCommand c;
    c.kind = ParsedCommand::Kind::Error;
    c.error = std::move(why);
    return c;
}

// IN OUT and one required option with a value, for the simple and dotgain commands.
bool ParseTwoFilesAndOption(const std::vector<std::string>& args, const std::string& option,
                            std::string& input, std::string& output, std::string& value,
                            std::string& error) {
    std::vector<std::string> positional;
    bool seen = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == option) {
            if (i + 1 >= args.size()) {
                error = option + " needs a value";
                return false;
            }
            value = args[++i];
            seen = true;
        } else if (!args[i].empty() && args[i][0] == '-' && args[i] != "-") {
            error = "unknown option '" + args[i] + "'";
            return false;
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) {
        error = args[0] + " wants IN and OUT";
        return false;
    }
    if (!seen || value.empty()) {
        error = args[0] + " wants " + option;
        return false;
    }
    input = positional[0];
    output = positional[1];
    return true;
}

}  // namespace

std::string VestrelUsage() {
    return "Usage: vestrel resample IN OUT [options]\n"
           "       vestrel simple IN OUT --scale P\n"
           "       vestrel dotgain IN OUT --separation NAME\n"
           "\n"
           "resample: descreens, resamples and rescreens a 1-bit TIFF separation into OUT.\n"
           "simple:   shortens the content to P percent of its height by dropping evenly\n"
           "          spaced rows (no filtering); the page height stays, the freed rows at\n"
           "          the bottom are blank.\n"
           "dotgain:  applies the tone curve of separation NAME (from the [Curves] of\n"
           "          plexivar.ini; for example Black) to a 1-bit TIFF.\n"
           "\n"
           "Options of resample:\n"
           "  --resolution X[xY]    target resolution in dpi (default: keep the file's)\n"
           "  --scale X[xY]         scale in percent (default 100)\n"
           "  --keep-size           keep the page size: place the scaled image on the\n"
           "                        original canvas by the references\n"
           "  --keep-resolution     keep the file's resolution, scale only\n"
           "  --margins T,B,L,R     margins in millimetres copied unchanged from IN\n"
           "  --reference X,Y       placement: X 0 left, 1 centre, 2 right;\n"
           "                        Y 0 top, 1 centre, 2 bottom (default 1,1)\n"
           "  --lines N             output rows per band (default 1024)\n"
           "  --merge BACKGROUND    OR a background 1-bit TIFF into the result\n"
           "  --help                show this text\n"
           "\n"
           "The engine reads plexivar.ini in the current directory and writes its working\n"
           "file beside IN. Exit status: 0 done, 1 the engine failed (its message on\n"
           "standard error), 2 wrong command line.\n";
}

ParsedCommand ParseCommandLine(const std::vector<std::string>& args) {
    ParsedCommand c;
    if (args.empty()) return Fail("no command given");
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h" || a == "help") {
            c.kind = ParsedCommand::Kind::Help;
            return c;
        }
    }
    if (args[0] == "simple") {
        std::string scale, error;
        if (!ParseTwoFilesAndOption(args, "--scale", c.simple.input, c.simple.output, scale,
                                    error))
            return Fail(error);
        if (!ParseNumber(scale, c.simple.scale) || c.simple.scale <= 0)
            return Fail("--scale wants a positive percentage: '" + scale + "'");
        c.kind = ParsedCommand::Kind::Simple;
        return c;
    }
    if (args[0] == "dotgain") {
        std::string error;
        if (!ParseTwoFilesAndOption(args, "--separation", c.dotGain.input, c.dotGain.output,
                                    c.dotGain.separation, error))
            return Fail(error);
        c.kind = ParsedCommand::Kind::DotGain;
        return c;
    }
    if (args[0] != "resample") return Fail("unknown command '" + args[0] + "'");

    ResampleOptions& o = c.resample;
    std::vector<std::string> positional;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        auto value = [&]() -> const std::string& { return args[++i]; };
        if (a == "--keep-size") {
            o.keepSize = true;
        } else if (a == "--keep-resolution") {
            o.keepResolution = true;
        } else if (a == "--resolution" || a == "--scale" || a == "--margins" ||
                   a == "--reference" || a == "--lines" || a == "--merge") {
            if (!hasValue) return Fail(a + " needs a value");
            const std::string& v = value();
            if (a == "--resolution") {
                if (!ParsePair(v, o.resolutionX, o.resolutionY) || o.resolutionX <= 0 ||
                    o.resolutionY <= 0)
                    return Fail("--resolution wants positive dpi, X or XxY: '" + v + "'");
                o.resolutionGiven = true;
            } else if (a == "--scale") {
                if (!ParsePair(v, o.scaleX, o.scaleY) || o.scaleX <= 0 || o.scaleY <= 0)
                    return Fail("--scale wants positive percent, X or XxY: '" + v + "'");
            } else if (a == "--margins") {
                const auto p = Split(v, ',');
                if (p.size() != 4 || !ParseNumber(p[0], o.topMargin) ||
                    !ParseNumber(p[1], o.bottomMargin) || !ParseNumber(p[2], o.leftMargin) ||
                    !ParseNumber(p[3], o.rightMargin) || o.topMargin < 0 || o.bottomMargin < 0 ||
                    o.leftMargin < 0 || o.rightMargin < 0)
                    return Fail("--margins wants four millimetre values T,B,L,R: '" + v + "'");
            } else if (a == "--reference") {
                const auto p = Split(v, ',');
                if (p.size() != 2 || !ParseInteger(p[0], o.xReference) ||
                    !ParseInteger(p[1], o.yReference) || o.xReference < 0 || o.xReference > 2 ||
                    o.yReference < 0 || o.yReference > 2)
                    return Fail("--reference wants X,Y with values 0, 1 or 2: '" + v + "'");
            } else if (a == "--lines") {
                if (!ParseInteger(v, o.lines) || o.lines < 1)
                    return Fail("--lines wants a positive number of rows: '" + v + "'");
            } else {
                if (v.empty()) return Fail("--merge wants a file");
                o.mergeBackground = v;
            }
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return Fail("unknown option '" + a + "'");
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return Fail("resample wants IN and OUT");
    o.input = positional[0];
    o.output = positional[1];
    if (!o.resolutionGiven) o.keepResolution = true;
    c.kind = ParsedCommand::Kind::Resample;
    return c;
}

}  // namespace plexivar::tools
