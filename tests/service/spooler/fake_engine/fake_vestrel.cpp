// A stand-in for libvestrel.so with the same exports, for tests of what the service does
// with the engine's answers. It reads what to answer from "fake-engine.txt" in the current
// directory: "warn <text>" delivers the input unchanged and returns success with <text> as
// the message (a finishing step failed after the plate was written); "fail <text>" returns
// failure with <text>.
// Built a second time without SetParams (FAKE_VESTREL_WITHOUT_SET_PARAMS): an engine library
// that lacks one of its functions.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "vestrel/vestrel.h"

namespace {

void Fill(char* errorText, const std::string& text) {
    std::snprintf(errorText, VESTREL_ERROR_TEXT_SIZE, "%s", text.c_str());
}

}  // namespace

extern "C" {

#ifndef FAKE_VESTREL_WITHOUT_SET_PARAMS
VESTREL_EXPORT void SetParams(int, int, int) {}
#endif

VESTREL_EXPORT int ResamleTIFF(const char* inputPath, char* outputPath, int, int, double, double,
                               double, double, double, double, double, double, char* errorText,
                               ProgressCallback progress, int, const char*) {
    std::ifstream control("fake-engine.txt");
    std::string verb, text;
    control >> verb;
    std::getline(control >> std::ws, text);
    if (progress) progress(50);
    if (verb == "fail") {
        Fill(errorText, text);
        return 0;
    }
    std::ifstream in(inputPath, std::ios::binary);
    std::ofstream out(outputPath, std::ios::binary);
    out << in.rdbuf();
    Fill(errorText, verb == "warn" ? text : "");
    return out.good() ? 1 : 0;
}

VESTREL_EXPORT int SimpleResamleTIFF(const char*, const char*, int, int, double) { return 0; }

VESTREL_EXPORT int DotGainTIFF(const char*, const char*, char*, char* errorText, ProgressCallback) {
    Fill(errorText, "not in the stand-in");
    return 0;
}
}
