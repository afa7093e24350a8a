// Restoring preserved margins into a finished 1-bit file: the rows and byte columns that the
// margin store kept from the source image replace the same areas of the file, byte-exact.
#pragma once

#include <string>

#include "engine/tiff/margin_store.h"

namespace vestrel {

// Rewrites `path` (in place, through its backup) with strips of `rowsPerStrip` rows (below 1:
// the TIFF library's default, strips of about 8 KB), replacing in every row r:
//   the whole row by top row r when r < topRows, or by bottom row r - (height - bottomRows)
//   when r >= height - bottomRows; then its first leftBytes bytes by row r of the left
//   margin and its last rightBytes bytes by row r of the right margin.
// Horizontal margins are whole bytes (8-pixel units), vertical ones whole rows. A margin of
// size 0 or without a buffer is not restored. The store must come from an image of the same
// size as the file; a store that does not fit the file, or a file of several images, fails
// the call.
// True: `path` is rewritten. False: `path` holds its previous content, `error` says why.
bool ApplyMargins(const std::string& path, int rowsPerStrip, const MarginStore& margins,
                  std::string* error = nullptr);

}  // namespace vestrel
