// Small crops of the shared sample separations, for seeds: the top-left corner of each
// image in the file's own format (compression, polarity, fill order, byte order, strips or
// tiles, resolution unit, up to two images), and each crop once more cut short.
#pragma once

#include <string>
#include <vector>

namespace plexivar::fuzz {

// Crops of every "*.tif" in `fixturesDir` (nothing when it does not exist); `scratch` is a
// folder to write in.
std::vector<std::string> FixtureCrops(const std::string& fixturesDir, const std::string& scratch);

}  // namespace plexivar::fuzz
