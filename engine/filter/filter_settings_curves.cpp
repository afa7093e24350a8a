// Registration and look-up of the per-separation tone curves of a FilterSettings record.
#include <cctype>

#include "engine/filter/filter_settings.h"

namespace vestrel {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca != cb && !(ca < 128 && cb < 128 && ::tolower(ca) == ::tolower(cb)))
            return false;
    }
    return true;
}

int RegisteredSlots(const FilterSettings& s) {
    return s.CurveCount < 0 ? 0 : (s.CurveCount > kCurveSlots ? kCurveSlots : s.CurveCount);
}

// Index of the first registered slot whose name matches, or -1.
int FindSlot(const FilterSettings& s, std::string_view name, bool ignoreCase) {
    for (int k = 0; k < RegisteredSlots(s); ++k) {
        const std::string& slotName = s.Curves[k].name;
        if (ignoreCase ? EqualsNoCase(slotName, name) : slotName == name)
            return k;
    }
    return -1;
}

}  // namespace

int IsProcessColour(std::string_view name) {
    if (name == "Cyan")
        return 1;
    if (name == "Magenta")
        return 2;
    if (name == "Yellow")
        return 3;
    if (name == "Black")
        return 4;
    return 0;
}

int RegisterSeparationCurve(FilterSettings& s, std::string_view name,
                            const ToneCurve* explicitCurve) {
    const int existing = FindSlot(s, name, false);
    if (existing >= 0) {
        if (explicitCurve != nullptr) {
            s.Curves[existing] = *explicitCurve;
            s.Curves[existing].name = std::string(name);
        }
        return 1;
    }
    const int slot = RegisteredSlots(s);
    if (slot >= kCurveSlots)
        return 0;

    ToneCurve chosen = IdentityCurve();
    if (explicitCurve != nullptr) {
        chosen = *explicitCurve;
    } else if (s.UseMaster != 0) {
        chosen = s.Curves[0];
    } else if (const int process = FindSlot(s, "Process", false);
               IsProcessColour(name) != 0 && process >= 0) {
        chosen = s.Curves[process];
    } else if (const int fallback = FindSlot(s, "Default", false); fallback >= 0) {
        chosen = s.Curves[fallback];
    }
    chosen.name = std::string(name);
    s.Curves[slot] = chosen;
    s.CurveCount = slot + 1;
    return 1;
}

ToneCurve FindSeparationCurve(const FilterSettings& s, std::string_view name) {
    int k = FindSlot(s, name, false);
    if (k < 0 && IsProcessColour(name) != 0)
        k = FindSlot(s, "Process", true);
    if (k < 0)
        k = FindSlot(s, "Default", true);
    return k >= 0 ? s.Curves[k] : IdentityCurve(name);
}

}  // namespace vestrel
