// Owns an open TIFF handle and closes it when it goes out of scope.
#pragma once

#include <tiffio.h>

#include <memory>

namespace vestrel {

struct TiffCloser {
    void operator()(TIFF* tif) const {
        if (tif != nullptr)
            TIFFClose(tif);
    }
};
using UniqueTiff = std::unique_ptr<TIFF, TiffCloser>;

}  // namespace vestrel
