#include "tools/vestrel/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace plexivar::tools {
namespace {
constexpr int kWidth = 40;
int g_lastDrawn = -1;
}  // namespace

bool ProgressBarEnabled() {
    static const bool enabled = isatty(STDERR_FILENO) != 0;
    return enabled;
}

extern "C" int ShowProgress(int percent) {
    if (!ProgressBarEnabled()) return 0;
    percent = std::clamp(percent, 0, 100);
    if (percent == g_lastDrawn) return 0;
    if (percent == 0 && g_lastDrawn > 0) {
        // The engine reports 0 when it is done: clear the line.
        std::fprintf(stderr, "\r%*s\r", kWidth + 8, "");
        g_lastDrawn = -1;
        return 0;
    }
    g_lastDrawn = percent;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(), percent);
    std::fflush(stderr);
    return 0;
}

}  // namespace plexivar::tools
