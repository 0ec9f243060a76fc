// Numeric helpers shared by the math natives.
#pragma once

#include <cstdint>

#include "runtime/core/unwind.h"

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

namespace vek::natives {

Pending negative_q(bool check, const int32_t* refinements);
Pending positive_q(bool check, const int32_t* refinements);
Pending max_(bool check, const int32_t* refinements);
Pending min_(bool check, const int32_t* refinements);
Pending shift(bool check, const int32_t* refinements);
Pending to_hex(bool check, const int32_t* refinements);
Pending sine(bool check, const int32_t* refinements);
Pending cosine(bool check, const int32_t* refinements);
Pending tangent(bool check, const int32_t* refinements);
Pending arcsine(bool check, const int32_t* refinements);
Pending arccosine(bool check, const int32_t* refinements);
Pending arctangent(bool check, const int32_t* refinements);
Pending arctangent2(bool check, const int32_t* refinements);
Pending nan_q(bool check, const int32_t* refinements);
Pending log_2(bool check, const int32_t* refinements);
Pending log_10(bool check, const int32_t* refinements);
Pending log_e(bool check, const int32_t* refinements);
Pending exp_(bool check, const int32_t* refinements);
Pending square_root(bool check, const int32_t* refinements);
Pending as_pair(bool check, const int32_t* refinements);
Pending as_point2d(bool check, const int32_t* refinements);
Pending as_point3d(bool check, const int32_t* refinements);
Pending as_money(bool check, const int32_t* refinements);
Pending sign_q(bool check, const int32_t* refinements);
Pending zero_q(bool check, const int32_t* refinements);
Pending size_q(bool check, const int32_t* refinements);

}  // namespace vek::natives
