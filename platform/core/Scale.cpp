#include "platform/core/Scale.h"

#include <cmath>

namespace platform {

int drawingFactor(double askedScale) {
    if (!(askedScale >= 1.0)) return 1; // below 1, and not a number
    if (askedScale >= 3.0) return 3;
    return static_cast<int>(std::floor(askedScale + 0.25));
}

Size programScreen(Size devicePixels, int factor) {
    const int f = factor >= 1 ? factor : 1;
    return {devicePixels.width / f, devicePixels.height / f};
}

} // namespace platform
