// The dot-gain filter: changes the tone of a 1-bit halftone without destroying its screen.
// Every pixel gets an xfrm level (the ink share of a large window around it); an estimation
// pass over the whole image counts per level the pixels, the ink pixels and the distribution
// of their averaged (slightly blurred) values, and derives per level the threshold at which
// the share of ink follows the separation's tone curve. The output pass then rethresholds
// the blurred image level by level, so dots grow or shrink where the curve asks for it.
//
// Use per image: a FilterSettings record published with PublishFilterSettings (geometry, the
// separation's curve registered and SeparationName set), SetGainSourceReader, InitGainFilter
// once (which runs the estimation pass), DoGainFilterData for the bands from top to bottom
// (the first with first = 1), then ReleaseGainTables and ReleaseErrorRows. Every entry point
// takes the filter lock; the state is process-wide and belongs to one image at a time.
// Only 1-bit sources (BitsPerSample 1) are filtered; the output has the source's geometry.
#pragma once

#include <vector>

#include "engine/filter/area_desc.h"
#include "engine/filter/filter_settings.h"
#include "engine/filter/gain/gain_state.h"

namespace vestrel {

// The reader through which the dot-gain filter asks for source rows.
void SetGainSourceReader(GetDataFn reader);

// Set-up for one image from the current FilterSettings and the output area `destDesc` (the
// whole image): common values, xfrm levels, tables (BuildGainTables), then the estimation
// pass over destDesc. Returns 1 with status 0 on success, 0 with status 1 on failure (no
// current settings, an empty source area, an output area outside the source, a source that
// is not 1-bit, no memory, or a failed estimation band).
int InitGainFilter(const AreaDesc& destDesc, SourceRowSet& rows, int& status);

// One output band: destDesc.x/y/w/h is the band, destDesc.rowTables[0] its h output rows of
// w bytes (0 or 255). status is 1 on entry and 0 on success; a band with no rows or columns
// returns 1 at once and leaves status at 1. Every band must have the x and w of the set-up.
int DoGainFilterData(const AreaDesc& destDesc, int& status, SourceRowSet& rows, int first);

// The band procedure behind DoGainFilterData (no zero-size check, no status).
int FilterArea(const AreaDesc& destDesc, SourceRowSet& rows, int first);

// The estimation pass over `destDesc` in bands of at most 512 rows (EstimationBands):
// accumulates the level statistics and updates the thresholds after every band. Needs the
// tables of InitGainFilter.
int FilterEstimate(const AreaDesc& destDesc, SourceRowSet& rows, int first);

// Frees the level table, the noise table and the band buffers; the pipeline calls it (with
// ReleaseErrorRows) when an image is finished.
void ReleaseGainTables();

// The bands of the estimation pass over `area`: B = ceil(h / 512) bands of ceil(h / B) rows,
// the last one shorter (1100 rows: 367, 367, 366). Full width.
std::vector<BandRect> EstimationBands(const BandRect& area);

// Largest number of source rows one request of the filter spans, for bands of `bandRows`
// output rows (and the estimation bands), for sizing the pipeline's source row set. Never
// more is requested than the image has.
int MaxGainRequestRows(const FilterSettings& settings, int bandRows);

// A copy of the current level table (statistics and thresholds), for tests and diagnostics.
std::vector<LevelEntry> GainLevelTable();

}  // namespace vestrel
