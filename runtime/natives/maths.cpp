#include "runtime/natives/maths.h"

#include <cmath>

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
