// The parameter record of one engine call (descreen/rescreen and dot gain), its built-in
// defaults, the ini keys that change them, and the automatic choice of the averaging and
// threshold parameters from the scale factor.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/filter/area_desc.h"
#include "engine/filter/tone_curve.h"

namespace vestrel {

// Number of tone-curve slots in one record.
inline constexpr int kCurveSlots = 3;
// Value of `marker` once the ini keys have been read.
inline constexpr std::uint16_t kSettingsMarker = 0xB304;

// All integers are signed 32-bit and all reals 32-bit floats: the filter computes with
// exactly these types, so the output bits depend on them.
struct FilterSettings {
    std::string File;                    // "Preferences"/"File": stored, read by no processing step
    char typeTag[6] = "DGF";             // record type tag
    std::uint16_t marker = 0;            // kSettingsMarker once the ini keys are read
    std::int32_t AverageFilterSize = 1;  // averaging window side (source pixels); <= 1: none
    std::int32_t Threshold = 25;  // percent: width of the forced-white and forced-black bands
    std::int32_t Verbose = 0;     // non-zero: timing lines in the filter log
    float TargetResX = 2540.0f;   // dpi, set by the pipeline
    float TargetResY = 2540.0f;
    float ScalePercentX = 100.0f;  // percent of the resolution-changed size, set by the pipeline
    float ScalePercentY = 100.0f;
    std::int32_t TargetWidth = 1000;  // output size in pixels, set by the pipeline
    std::int32_t TargetHeight = 1000;
    float ScaleX = 1.0f;  // source pixels per output pixel, set by the pipeline
    float ScaleY = 1.0f;
    std::int32_t KeepResolution = 0;   // 1: the output keeps the source resolution
    std::int32_t Automatic = 1;        // non-zero: SelectAutomaticParameters chooses the parameters
    std::int32_t DiffusionType = 2;    // 0 threshold, 1 row-carry, 2 two-dimensional diffusion
    std::int32_t DiffusionToggle = 1;  // non-zero: serpentine scan (odd rows right to left)
    std::int32_t NoiseLevel = 0;       // percent; 0 = no noise
    std::int32_t AutoDiffusionType = 2;    // copied into DiffusionType in automatic mode
    std::int32_t AutoNoiseLevel = 0;       // copied into NoiseLevel in automatic mode
    std::int32_t AutoDiffusionToggle = 1;  // copied into DiffusionToggle in automatic mode
    ToneCurve Curves[kCurveSlots];         // identity curves named "" until registered
    std::int32_t ScreenKnown = 1;          // always 1
    std::int32_t XfrmFiltSize = 32;        // side of the xfrm window of the dot-gain filter
    std::int32_t XFrmDivScale = 4;         // divisor of the 256 xfrm levels
    std::int32_t CurveCount = 0;           // registered curve slots (0..3)
    std::int32_t UseMaster = 1;            // non-zero: section "All" serves every separation
    std::int32_t DestIsSource = 0;         // non-zero: the filter reads the source through DestDesc
    std::int32_t XfrmFiltSizeFromScreen = 1;  // stored only
    float XfrmFiltSizeScale = 2.175f;         // stored only
    std::int32_t EstimateSize = 256;          // stored only
    std::int32_t EstimateVerbose = 1;         // stored only
    // Name under which the dot-gain filter looks up the separation's curve.
    std::string SeparationName;
    std::int32_t SourceWidth = 1000;  // source size in pixels, set by the pipeline
    std::int32_t SourceHeight = 1000;
    float SourceResX = 1270.0f;  // dpi, set by the pipeline
    float SourceResY = 1270.0f;
    AreaDesc DestDesc;                       // whole output image, set by the pipeline
    AreaDesc SourceDesc;                     // whole source image, set by the pipeline
    std::int32_t ProgressTabLimit = 100000;  // stored only
    std::int32_t UsePathInfo = 0;            // forced to 0 once the keys are read
    std::int32_t PathMask = 0;               // stored only
    std::int32_t FilterAutoOnly = 1;         // stored only
    std::int32_t CacheActive = 0;  // non-zero: a band copies its last rows back to the row cache
    std::int32_t ReadAhead = 0;    // stored only
    std::int32_t SourceRowOffset = 0;  // rows added to the source row of every output row
    std::int32_t BitsPerSample = 1;    // 1: bilevel averaging and 1-bit rescreening; 8: grey
    std::string IniPath;               // full path of the engine ini file, set before reading
};

// Reads the filter keys and the curve sections from the file named in `settings.IniPath`.
// A missing file or key leaves the field as it is; a broken curve section is ignored.
void ReadFilterSettings(FilterSettings& settings);

// Reads only the curve sections again (part of ReadFilterSettings). With UseMaster 0 the
// sections are looked up per registered slot, so a pipeline that registers its slot after
// ReadFilterSettings calls this to load the slot's own section.
void ReadCurveSections(FilterSettings& settings);

// Completes a record whose keys have been read (screen-known flag 1, UsePathInfo 0, marker)
// and makes it the filter's current settings.
void PublishFilterSettings(FilterSettings& settings);
// The record of the running engine call, or null between calls.
FilterSettings* CurrentFilterSettings();
// Clears the current-settings pointer (the record is about to be freed).
void ClearCurrentFilterSettings();

// Chooses AverageFilterSize, Threshold and the diffusion/noise fields from ScaleX/ScaleY and
// TargetWidth / SourceWidth. Does nothing when Automatic is 0.
void SelectAutomaticParameters(FilterSettings& settings);

// Registers (or, for a known name with an explicit curve, replaces) the curve of a
// separation. Returns 1 on success, 0 when all slots are in use.
int RegisterSeparationCurve(FilterSettings& settings, std::string_view name,
                            const ToneCurve* explicitCurve);

// The curve for a separation: its own slot, else "Process" for a process colour, else
// "Default", else an identity curve carrying `name`.
ToneCurve FindSeparationCurve(const FilterSettings& settings, std::string_view name);

// 1 "Cyan", 2 "Magenta", 3 "Yellow", 4 "Black" (exact, case-sensitive); 0 otherwise.
int IsProcessColour(std::string_view name);

}  // namespace vestrel
