#include "engine/tiff/rewrite_strips.h"

#include "engine/tiff/rewrite_in_place.h"

namespace vestrel {

namespace {

bool CopyAllImages(TIFF* in, TIFF* out, int rowsPerStrip, std::vector<CopyStrategy>* strategies,
                   std::string* error) {
    for (int image = 0;; ++image) {
        // A fresh copy state for every image: nothing of one image carries over to the next.
        CopyStrategy strategy = CopyStrategy::kNone;
        if (!CopyImage(in, out, rowsPerStrip, CopyOptions(), &strategy, error))
            return false;
        if (strategies != nullptr)
            strategies->push_back(strategy);
        if (TIFFWriteDirectory(out) != 1) {
            *error = "cannot write the directory of image " + std::to_string(image) + " of " +
                     std::string(TIFFFileName(out));
            return false;
        }
        if (TIFFLastDirectory(in))
            return true;
        // A further image is announced; one that cannot be read is a damaged file, not the
        // end of it.
        if (TIFFReadDirectory(in) != 1) {
            *error = "cannot read image " + std::to_string(image + 1) + " of " +
                     std::string(TIFFFileName(in));
            return false;
        }
    }
}

}  // namespace

bool RewriteStrips(const std::string& path, int rowsPerStrip, std::vector<CopyStrategy>* strategies,
                   std::string* error) {
    if (strategies != nullptr)
        strategies->clear();
    return RewriteInPlace(
        path,
        [&](TiffFile& in, TiffFile& out, std::string* bodyError) {
            return CopyAllImages(in.get(), out.get(), rowsPerStrip, strategies, bodyError);
        },
        error);
}

}  // namespace vestrel
