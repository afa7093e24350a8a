#include "engine/filter/tone_curve.h"

namespace vestrel {

ToneCurve IdentityCurve(std::string_view name) {
    ToneCurve curve;  // the defaults are the identity curve
    curve.name = std::string(name);
    return curve;
}

}  // namespace vestrel
