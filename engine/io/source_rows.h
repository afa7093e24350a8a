// The three ways the source-row reader serves a request, and the per-row normalisation
// (polarity and margin capture) they share. Internal to the reader.
#pragma once

#include <cstdint>

#include "engine/filter/area_desc.h"
#include "engine/io/source_reader.h"

namespace vestrel {

// Normalises one packed row just read from the file (file row `fileRow`): inverts
// min-is-black data, on the first request of an image checks row 0 for a negative,
// captures the margins (output polarity), then inverts a negative.
void NormaliseRow(SourceReader& r, std::uint8_t* row, std::uint32_t fileRow, bool first);

// Serves rows straight from a whole packed image in the read buffer.
bool ServeWhole(SourceReader& r, AreaDesc& request, SourceRowSet& rows);

// Cache mode: reads and normalises the whole image on `first` (or when nothing is loaded).
bool ServeFromCache(SourceReader& r, AreaDesc& request, SourceRowSet& rows, bool first);

// Ring mode.
bool ServeFromRing(SourceReader& r, AreaDesc& request, SourceRowSet& rows, bool first);

}  // namespace vestrel
