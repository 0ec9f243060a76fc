// Numeric helpers shared by the math natives.
#pragma once

namespace vek::math {

// How the trigonometric natives want a reduced angle folded into -90..90.
enum class AngleFold : int {
    tangent = 0,  // shift by a half turn: tan repeats every 180 degrees
    cosine = 1,   // leave it: the range -180..180 is enough
    sine = 2,     // reflect about 90: sin(x) == sin(180 - x)
};

// The angle reduced to -180..180 degrees (then folded as asked) in radians.
double degrees_to_radians(double angle, AngleFold fold);

}  // namespace vek::math
