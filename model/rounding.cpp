#include "model/rounding.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace model {

double RoundHalfEven(double value) {
    // nearbyint follows the current rounding mode; the program never changes it from
    // round-to-nearest-even, but say so here rather than rely on it silently.
    const int saved = std::fegetround();
    if (saved != FE_TONEAREST) {
        std::fesetround(FE_TONEAREST);
    }
    const double rounded = std::nearbyint(value);
    if (saved != FE_TONEAREST) {
        std::fesetround(saved);
    }
    return rounded;
}

double RoundHalfEven(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return RoundHalfEven(value * scale) / scale;
}

int RoundToInt(double value) {
    const double rounded = RoundHalfEven(value);
    if (std::isnan(rounded)) {
        return 0;
    }
    if (rounded >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (rounded <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(rounded);
}

}  // namespace model
