// Reading the filter keys of the engine ini file into a FilterSettings record.
#include "engine/filter/filter_settings.h"

#include <string>

#include "engine/filter/value_list.h"
#include "platform/c_locale.h"
#include "platform/ini_file.h"

namespace vestrel {
namespace {

using plexivar::platform::IniFile;

// Keys are read into a 260-character buffer; the curve lists into a 512-character one.
constexpr std::size_t kKeyBufferSize = 260;
constexpr std::size_t kListBufferSize = 513;

FilterSettings* g_current = nullptr;

// Reads an integer key whose default is the field's current value as decimal text.
void ReadInt(const IniFile& ini, std::string_view section, std::string_view key,
             std::int32_t& field) {
    const std::string text =
        ini.Get(section, key, plexivar::platform::Format("%d", field), kKeyBufferSize);
    field = plexivar::platform::ParseInt(text);
}

// Reads one curve section into `curve` when it counts: both lists present, both parse,
// equal counts. Returns whether it counted.
bool ReadCurveSection(const IniFile& ini, std::string_view section, ToneCurve& curve) {
    if (!ini.Has(section, "XVal") || !ini.Has(section, "YVal"))
        return false;
    ToneCurve read = IdentityCurve();
    int xCount = 0;
    int yCount = 0;
    float xs[kToneCurveCapacity] = {};
    float ys[kToneCurveCapacity] = {};
    if (!ParseValueList(ini.Get(section, "XVal", "", kListBufferSize), xs, read.capacity, xCount))
        return false;
    if (!ParseValueList(ini.Get(section, "YVal", "", kListBufferSize), ys, read.capacity, yCount))
        return false;
    if (xCount != yCount)
        return false;
    for (int i = 0; i < kToneCurveCapacity; ++i) {
        curve.XVal[i] = i < xCount ? xs[i] : 0.0f;
        curve.YVal[i] = i < yCount ? ys[i] : 0.0f;
    }
    curve.count = xCount;
    return true;
}

void ReadCurves(const IniFile& ini, FilterSettings& s) {
    if (s.UseMaster != 0) {
        ToneCurve master = IdentityCurve();
        if (!ReadCurveSection(ini, "All", master))
            return;
        for (ToneCurve& slot : s.Curves) {
            slot.count = master.count;
            for (int i = 0; i < kToneCurveCapacity; ++i) {
                slot.XVal[i] = master.XVal[i];
                slot.YVal[i] = master.YVal[i];
            }
        }
        return;
    }
    // The most specific section that counts wins: own name over "Process" over "Default".
    for (int k = 0; k < s.CurveCount && k < kCurveSlots; ++k) {
        ToneCurve& slot = s.Curves[k];
        ReadCurveSection(ini, "Default", slot);
        if (IsProcessColour(slot.name) != 0)
            ReadCurveSection(ini, "Process", slot);
        if (!slot.name.empty())
            ReadCurveSection(ini, slot.name, slot);
    }
}

}  // namespace

void ReadFilterSettings(FilterSettings& s) {
    const IniFile ini = IniFile::Load(s.IniPath);

    ReadInt(ini, "Preferences", "AverageFilterSize", s.AverageFilterSize);
    ReadInt(ini, "Preferences", "Automatic", s.Automatic);
    ReadInt(ini, "Preferences", "Threshold", s.Threshold);
    ReadInt(ini, "Preferences", "NoiseLevel", s.NoiseLevel);
    ReadInt(ini, "Preferences", "DiffusionType", s.DiffusionType);
    s.DiffusionToggle = plexivar::platform::ParseInt(ini.Get(
        "Preferences", "DiffusionToggle", s.DiffusionType != 0 ? "1" : "0", kKeyBufferSize));
    ReadInt(ini, "Preferences", "XfrmFiltSize", s.XfrmFiltSize);
    ReadInt(ini, "Preferences", "XFrmDivScale", s.XFrmDivScale);
    s.XfrmFiltSizeScale = static_cast<float>(plexivar::platform::ParseReal(
        ini.Get("Preferences", "XfrmFiltSizeScale",
                plexivar::platform::Format("%f", static_cast<double>(s.XfrmFiltSizeScale)),
                kKeyBufferSize)));
    ReadInt(ini, "Preferences", "XfrmFiltSizeFromScreen", s.XfrmFiltSizeFromScreen);
    s.File = ini.Get("Preferences", "File", s.File, kKeyBufferSize);
    s.UsePathInfo =
        plexivar::platform::ParseInt(ini.Get("Preferences", "UsePathInfo", "0", kKeyBufferSize));
    s.PathMask =
        plexivar::platform::ParseInt(ini.Get("Preferences", "PathMask", "0", kKeyBufferSize));
    ReadInt(ini, "Preferences", "FilterAutoOnly", s.FilterAutoOnly);
    ReadInt(ini, "Preferences", "KeepResolution", s.KeepResolution);

    ReadInt(ini, "Auto", "NoiseLevel", s.AutoNoiseLevel);
    ReadInt(ini, "Auto", "DiffusionType", s.AutoDiffusionType);
    ReadInt(ini, "Auto", "DiffusionToggle", s.AutoDiffusionToggle);
    if (s.Automatic != 0) {
        s.NoiseLevel = s.AutoNoiseLevel;
        s.DiffusionType = s.AutoDiffusionType;
        s.DiffusionToggle = s.AutoDiffusionToggle;
    }

    ReadInt(ini, "Estimate", "Size", s.EstimateSize);
    ReadInt(ini, "Estimate", "Verbose", s.EstimateVerbose);
    ReadInt(ini, "Filter", "Verbose", s.Verbose);
    ReadInt(ini, "Filter", "ProgressTabLimit", s.ProgressTabLimit);
    ReadInt(ini, "Cache", "Active", s.CacheActive);
    ReadInt(ini, "Cache", "ReadAhead", s.ReadAhead);
    ReadInt(ini, "Preferences", "UseMaster", s.UseMaster);

    ReadCurves(ini, s);
}

void ReadCurveSections(FilterSettings& settings) {
    ReadCurves(IniFile::Load(settings.IniPath), settings);
}

void PublishFilterSettings(FilterSettings& settings) {
    settings.ScreenKnown = 1;
    settings.UsePathInfo = 0;
    settings.marker = kSettingsMarker;
    g_current = &settings;
}

FilterSettings* CurrentFilterSettings() {
    return g_current;
}

void ClearCurrentFilterSettings() {
    g_current = nullptr;
}

}  // namespace vestrel
