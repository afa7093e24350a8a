// Set-up of the dot-gain filter's tables for one image: the xfrm levels, the error rows, the
// noise table and the level table with the gain of each level.
#pragma once

#include "engine/filter/area_desc.h"
#include "engine/filter/filter_settings.h"
#include "engine/filter/filter_state.h"
#include "engine/filter/gain/gain_state.h"

namespace vestrel {

// The dot-gain values derived from the settings, after the common set-up: xfrm window and
// levels, and the noise amplitude in levels (NoiseLevel % of L).
void GainValuesSetup(const FilterSettings& settings, const CommonFilterState& cs,
                     GainFilterState& gs);

// Builds the tables, replacing those of an earlier image:
// - with DiffusionType 2, two zeroed error rows of destDesc.w columns (cs.errorRows);
// - with noise, the noise table: from its last cell to its first, one random draw each,
//   (draw / 32767 - 0.5) x amplitude rounded half away from zero;
// - the level table: L entries with zeroed histograms of A + 1 counts and the gain ratios of
//   the curve registered under settings.SeparationName (FindSeparationCurve).
// Returns false when memory is short (after logging, for the error rows).
bool BuildGainTables(const AreaDesc& destDesc, const FilterSettings& settings,
                     CommonFilterState& cs, GainFilterState& gs);

}  // namespace vestrel
