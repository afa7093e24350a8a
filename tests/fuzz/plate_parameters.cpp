#include "tests/fuzz/plate_parameters.h"

#include <cmath>
#include <limits>

#include "tests/fuzz/scratch.h"

namespace plexivar::fuzz {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

constexpr double kScales[] = {100, 99.5, 97.3, 50, 150, 101.2, 3, 3300,
                              0,   -5,   kNaN, kInfinity, 100.001, 1e-300, 1e300, 33};
constexpr double kResolutions[] = {600, 1270, 2400, 300, 1000, 20, 50000, 10,
                                   0,   -600, kNaN, 4000, 19.99, 635, 1e300, 72};
constexpr double kMargins[] = {0, 1, 5, 25.4, 1000, -3, kNaN, 0.1,
                               kInfinity, 1e12, 2.54, 0.01, -kInfinity, 500, 12.7, 3};
constexpr int kLineBuffers[] = {1024, 1, 7, 64};
constexpr double kSimpleScales[] = {90, 50, 99.5, 100, 49.9, 75, 0, -1,
                                    kNaN, 1e9, 200, 66.6, kInfinity, 50.0001, 99.999, 1e-9};
constexpr const char* kSeparations[] = {"Black", "Cyan", "Magenta", "Yellow",
                                        "Spot 1", "", "K", "PANTONE 485 C"};

template <typename T, std::size_t N>
T Pick(const T (&values)[N], unsigned index) {
    return values[index % N];
}

}  // namespace

ResampleParameters DecodeResampleParameters(const std::uint8_t* b) {
    ResampleParameters p;
    p.keepSize = b[0] & 1;
    p.keepResolution = (b[0] >> 1) & 1;
    p.mergeBackground = (b[0] >> 2) & 1;
    p.lineBuffers = Pick(kLineBuffers, (b[0] >> 3) & 3);
    p.scaleX = Pick(kScales, b[1] & 15);
    p.scaleY = Pick(kScales, b[1] >> 4);
    p.resolutionX = Pick(kResolutions, b[2] & 15);
    p.resolutionY = Pick(kResolutions, b[2] >> 4);
    p.topMargin = Pick(kMargins, b[3] & 15);
    p.bottomMargin = Pick(kMargins, b[3] >> 4);
    p.leftMargin = Pick(kMargins, b[4] & 15);
    p.rightMargin = Pick(kMargins, b[4] >> 4);
    p.xReference = (1 + (b[5] & 3)) % 4;  // 0 picks the centre, the engine's default
    p.yReference = (1 + ((b[5] >> 2) & 3)) % 4;
    return p;
}

double DecodeSimpleScale(const std::uint8_t* bytes) { return Pick(kSimpleScales, bytes[0]); }

const char* DecodeSeparationName(const std::uint8_t* bytes) { return Pick(kSeparations, bytes[0]); }

MergeParameters DecodeMergeParameters(const std::uint8_t* b, std::size_t size) {
    MergeParameters p;
    const std::size_t rest = size - kMergeParameterBytes;
    const std::size_t asked = b[0] | static_cast<std::size_t>(b[1]) << 8 | static_cast<std::size_t>(b[2]) << 16;
    p.firstSize = std::min(asked, rest);
    p.compression = vestrel::CompressionForSetting(b[3] % 6);
    if (b[4] & 1) p.description = "M;98.5;101.2;3";
    return p;
}

std::string MergeParameterBytes(std::size_t firstSize, int compressionSetting) {
    std::string bytes;
    for (int shift : {0, 8, 16}) bytes.push_back(static_cast<char>((firstSize >> shift) & 0xFF));
    bytes.push_back(static_cast<char>(compressionSetting));
    bytes.push_back('\0');
    return bytes;
}

const std::string& BackgroundPlatePath() {
    static const std::string path = ScratchFolder() + "/background.tif";
    return path;
}

}  // namespace plexivar::fuzz
