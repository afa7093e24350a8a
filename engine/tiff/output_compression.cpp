#include "engine/tiff/output_compression.h"

#include <tiffio.h>

namespace vestrel {

OutputCompression CompressionForSetting(int setting) {
    switch (setting) {
        case 0:
            return {COMPRESSION_NONE, false};
        case 1:
            return {COMPRESSION_PACKBITS, false};
        case 2:
            return {COMPRESSION_LZW, false};
        case 3:
            return {COMPRESSION_CCITTFAX3, false};
        default:
            return {COMPRESSION_CCITTFAX4, true};
    }
}

}  // namespace vestrel
