// The resampling filter: maps each output band onto the source, fetches and descreens the
// source rows it needs, and writes the band by rescreening (1-bit sources) or as grey values
// (8-bit sources).
//
// Use per image: PublishFilterSettings(settings) with the geometry filled in,
// SetSourceReader / SetRandomReverse, InitResampleFilter once, DoFilterData for the bands from
// top to bottom (the first with first = 1), then ReleaseBandTables and ReleaseErrorRows
// (filter_state.h). Every entry point takes the filter lock, so calls never overlap; the state
// is process-wide and belongs to one image at a time.
//
// Bands are seamless: a band's output is the same as if the whole image had been produced in
// one band. Each band asks for exactly the source rows its output reads plus the context rows
// the averaging window of those rows needs, so averaging never sees a band border as an image
// border; the error rows and the random generator carry over from band to band.
#pragma once

#include "engine/filter/area_desc.h"
#include "engine/filter/filter_settings.h"

namespace vestrel {

// The reader through which the filter asks for source rows (the pipeline's GetData, or a
// test's own). Must be set before the first band.
void SetSourceReader(GetDataFn reader);

// Engine setting "RandomReverse": non-zero makes each 1-bit output row run right to left when
// a fresh random draw is even, instead of the serpentine rule of DiffusionToggle.
void SetRandomReverse(int randomReverse);

// Set-up for one image, from the current FilterSettings (CurrentFilterSettings()) and the
// output area `destDesc` (the whole output image). Returns 1 and status 0 on success, 0 and
// status 1 on failure (no current settings, an empty source area, a scale factor that is not
// a positive number, or no memory for the error rows).
// DiffusionType selects the rescreen of 1-bit output: 2 Floyd-Steinberg over two error rows;
// 1 row carry (the whole error of a pixel goes to the next pixel of the row, reset at the
// start of every row); 0 and any other value a plain threshold at A / 2. The forced white and
// black bands apply in all three.
int InitResampleFilter(const AreaDesc& destDesc, SourceRowSet& rows, int& status);

// One band: destDesc.x/y/w/h is the band, destDesc.rowTables[0] its h output rows of w bytes
// (0 or 255 for 1-bit output, 0..255 grey). status is 1 on entry and 0 on success; a band
// with no rows or no columns returns 1 at once and leaves status at 1. Every band of an image
// must have the x and w of the set-up.
int DoFilterData(const AreaDesc& destDesc, int& status, SourceRowSet& rows, int first);

// The band procedure behind DoFilterData (no zero-size check, no status).
int ResampleFilterArea(const AreaDesc& destDesc, SourceRowSet& rows, int first);

// Frees the column tables and the row-pointer tables; the pipelines call it when an image is
// finished.
void ReleaseBandTables();

// Largest number of source rows one band of `bandRows` output rows asks for, for sizing the
// pipeline's source row set and its read-ahead.
int MaxResampleRequestRows(const FilterSettings& settings, int bandRows);

}  // namespace vestrel
