// Owns an open TIFF handle and closes it when it goes out of scope (reporting the repeats of
// its warnings when it was opened with OpenTiff, engine/tiff/tiff_open.h).
#pragma once

#include <tiffio.h>

#include <memory>

#include "engine/tiff/tiff_open.h"

namespace vestrel {

struct TiffCloser {
    void operator()(TIFF* tif) const {
        CloseTiff(tif);
    }
};
using UniqueTiff = std::unique_ptr<TIFF, TiffCloser>;

}  // namespace vestrel
