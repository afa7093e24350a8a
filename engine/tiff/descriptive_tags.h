// The descriptive tags an image rewrite carries over unchanged (names, resolution, page
// numbers, dates, colour descriptions): 35 tags, each copied only when the input has it.
#pragma once

#include <tiffio.h>

namespace vestrel {

void CopyDescriptiveTags(TIFF* in, TIFF* out);

}  // namespace vestrel
