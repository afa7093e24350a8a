// The two band passes of the dot-gain filter, run with the filter lock held by the entry
// points of gain_filter.h.
#pragma once

#include "engine/filter/area_desc.h"
#include "engine/filter/filter_log.h"
#include "engine/filter/filter_state.h"
#include "engine/filter/gain/gain_state.h"

namespace vestrel {

// The only separation of this system; timing lines name it.
inline constexpr int kGainSeparation = 0;

// The estimation pass over `area` (see FilterEstimate).
bool EstimateLocked(CommonFilterState& cs, GainFilterState& gs, const AreaDesc& area,
                    SourceRowSet& rows, int first);

// One output band (see FilterArea).
bool FilterAreaLocked(CommonFilterState& cs, GainFilterState& gs, const AreaDesc& band,
                      SourceRowSet& rows, int first);

}  // namespace vestrel

// A timing line of the filter log, written when Verbose is set: `text` (a literal, so that
// its format is checked) takes the separation and the seconds since the set-up.
#define VESTREL_GAIN_TIMING(cs, text)                               \
    do {                                                            \
        if ((cs).verbose != 0)                                      \
            ::vestrel::FilterLog(text, ::vestrel::kGainSeparation,  \
                                 ::vestrel::SecondsSinceSetup(cs)); \
    } while (0)
