// Evaluation of a tone curve on the xfrm level scale, from which the dot-gain filter takes
// the gain of each level.
#pragma once

#include "engine/filter/tone_curve.h"

namespace vestrel {

// Evaluates `curve` at `count` positions given in level units (0 = no ink, levels - 0.5 =
// the centre of the top level), overwriting each position with the curve's value on the
// same scale. The points are scaled so that 0 % is position 0 and 100 % is levels - 0.5.
// Two points give the straight line through them; more points a piecewise cubic Hermite
// curve whose interior slopes are the weighted harmonic mean of the neighbouring secants
// (0 where the curve turns), so the curve never overshoots between points. Positions left
// of the first point give 0, right of the last point levels - 0.5.
// Returns false, leaving the positions as they are, for a curve that cannot be evaluated:
// fewer than two distinct points, inputs that do not strictly increase, values that are
// not finite, or a count outside 0 .. capacity.
bool EvaluateToneCurve(const ToneCurve& curve, int levels, float* positions, int count);

// Gain ratio of each of `levels` levels: the curve's value at the level's centre k + 0.5
// divided by k + 0.5; 1 everywhere when the curve cannot be evaluated. An identity curve
// gives exactly 1.
void GainRatios(const ToneCurve& curve, int levels, float* ratios);

}  // namespace vestrel
