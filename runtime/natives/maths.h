// The number and maths natives: sign tests, max and min, bit shifts,
// hexadecimal issues, trigonometry in degrees or radians, logarithms and
// roots, NaN? and zero?, the makers of pairs, points and money, and size? of
// a file. Their specs give no argument types, so each checks its own
// arguments, raising script expect-arg for a type it does not take. Each
// leaves its result in its first argument cell. The maths functions never
// raise on a domain error: they answer what the C library answers (NaN,
// infinities).
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

// negative?, positive?: of an integer!, float!, percent!, time! or money!;
// a NaN is neither. sign? gives -1, 0 or 1 (0 for NaN and -0.0).
Pending negative_q(bool check, const int32_t* refinements);
Pending positive_q(bool check, const int32_t* refinements);
Pending sign_q(bool check, const int32_t* refinements);
// The greater or lesser of two values (helpers.h max_min); values that
// cannot be ordered raise script invalid-compare.
Pending max_(bool check, const int32_t* refinements);
Pending min_(bool check, const int32_t* refinements);
// data shifted by bits: arithmetic right, /logical right, or /left. A
// negative count shifts nothing; one of 32 or more gives 0, or -1 for a
// negative data shifted arithmetically.
Pending shift(bool check, const int32_t* refinements);
// The integer as an issue! of eight upper-case hexadecimal digits, the last
// /size length of them; a length below 1 raises script invalid-arg.
Pending to_hex(bool check, const int32_t* refinements);
// Trigonometry in degrees, or radians with /radians, on float results:
// sines and cosines below 2.22e-16 are 0.0, the tangent of a right angle an
// infinity; the arc functions and arctangent2 answer degrees unless
// /radians.
Pending sine(bool check, const int32_t* refinements);
Pending cosine(bool check, const int32_t* refinements);
Pending tangent(bool check, const int32_t* refinements);
Pending arcsine(bool check, const int32_t* refinements);
Pending arccosine(bool check, const int32_t* refinements);
Pending arctangent(bool check, const int32_t* refinements);
Pending arctangent2(bool check, const int32_t* refinements);
// Whether the number is a NaN.
Pending nan_q(bool check, const int32_t* refinements);
// Logarithms, e to the power of the number, and the square root, as float!
// values.
Pending log_2(bool check, const int32_t* refinements);
Pending log_10(bool check, const int32_t* refinements);
Pending log_e(bool check, const int32_t* refinements);
Pending exp_(bool check, const int32_t* refinements);
Pending square_root(bool check, const int32_t* refinements);
// A pair! of two integers or floats (truncated; out of range the integer
// minimum; not finite: script invalid-arg), a point2D! or point3D! of
// numbers narrowed to float32, a money! of an integer or float amount in
// the currency word (unknown: script bad-denom; a float amount money holds
// no value for, as money::from_float's lenient conversion: script
// bad-make-arg).
Pending as_pair(bool check, const int32_t* refinements);
Pending as_point2d(bool check, const int32_t* refinements);
Pending as_point3d(bool check, const int32_t* refinements);
Pending as_money(bool check, const int32_t* refinements);
// Whether the value is a zero number, char, pair, tuple, money or point;
// false for any other type.
Pending zero_q(bool check, const int32_t* refinements);
// The size in bytes of the file!, or none when it names a directory (by a
// trailing "/" or on disk), there is no such file, or the size does not fit
// an integer!.
Pending size_q(bool check, const int32_t* refinements);

}  // namespace vek::natives
