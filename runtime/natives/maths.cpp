#include "runtime/natives/maths.h"

#include <cmath>

#include "runtime/natives/natives.h"

namespace vek::math {

namespace {
constexpr double PI = 3.141592653589793;
}

double degrees_to_radians(double angle, AngleFold fold) {
    double x = std::fmod(angle, 360.0);
    if (x > 180.0 || x < -180.0) x += x < 0.0 ? 360.0 : -360.0;
    if (x > 90.0 || x < -90.0) {
        if (fold == AngleFold::tangent) x += x < 0.0 ? 180.0 : -180.0;
        else if (fold == AngleFold::sine) x = (x < 0.0 ? -180.0 : 180.0) - x;
    }
    return x * PI / 180.0;
}

}  // namespace vek::math

namespace vek::natives {

Pending negative_q(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending positive_q(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending max_(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending min_(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending shift(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending to_hex(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending sine(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending cosine(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending tangent(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending arcsine(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending arccosine(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending arctangent(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending arctangent2(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending nan_q(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending log_2(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending log_10(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending log_e(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending exp_(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending square_root(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending as_pair(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending as_point2d(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending as_point3d(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending as_money(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending sign_q(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending zero_q(bool check, const int32_t* refinements) { return not_done(check, refinements); }
Pending size_q(bool check, const int32_t* refinements) { return not_done(check, refinements); }

}  // namespace vek::natives
