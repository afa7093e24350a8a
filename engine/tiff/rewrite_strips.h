// Rewriting every image of a TIFF file into strips of a chosen height, keeping its
// compression, layout and descriptive tags.
#pragma once

#include <string>
#include <vector>

#include "engine/tiff/copy_image.h"

namespace vestrel {

// Rewrites `path` in place (through its backup) with strips of `rowsPerStrip` rows; a value
// below 1 (the setting -1) keeps each image's own strip height. Every image of a
// multi-image file is copied, in order. `strategies` (optional) receives how each image's
// pixels were moved.
// True: `path` is rewritten. False: `path` holds its previous content, `error` says why.
bool RewriteStrips(const std::string& path, int rowsPerStrip,
                   std::vector<CopyStrategy>* strategies = nullptr, std::string* error = nullptr);

}  // namespace vestrel
