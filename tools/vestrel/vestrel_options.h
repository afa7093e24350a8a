// The command line of the vestrel tool.
#pragma once

#include <string>
#include <vector>

namespace plexivar::tools {

struct ResampleOptions {
    std::string input;
    std::string output;
    bool resolutionGiven = false;
    double resolutionX = 0;  // dpi
    double resolutionY = 0;
    double scaleX = 100;  // percent
    double scaleY = 100;
    bool keepSize = false;
    bool keepResolution = false;
    double topMargin = 0;  // millimetres
    double bottomMargin = 0;
    double leftMargin = 0;
    double rightMargin = 0;
    int xReference = 1;  // 0 left, 1 centre, 2 right
    int yReference = 1;  // 0 top, 1 centre, 2 bottom
    int lines = 1024;    // output rows per band
    std::string mergeBackground;  // empty: no merge
};

// vestrel simple IN OUT --scale P
struct SimpleOptions {
    std::string input;
    std::string output;
    double scale = 0;  // percent of the height
};

// vestrel dotgain IN OUT --separation NAME
struct DotGainOptions {
    std::string input;
    std::string output;
    std::string separation;
};

struct ParsedCommand {
    enum class Kind { Help, Resample, Simple, DotGain, Error } kind = Kind::Error;
    ResampleOptions resample;
    SimpleOptions simple;
    DotGainOptions dotGain;
    std::string error;  // Kind::Error: what is wrong
};

ParsedCommand ParseCommandLine(const std::vector<std::string>& args);

std::string VestrelUsage();

}  // namespace plexivar::tools
