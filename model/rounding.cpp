#include "model/rounding.h"

#include <cmath>
#include <limits>

namespace model {

double RoundHalfEven(double value) {
    // nearbyint follows the rounding mode, which the program leaves at its default,
    // round-to-nearest with halves to even.
    return std::nearbyint(value);
}

double RoundHalfEven(double value, int decimals) {
    static constexpr double kPowersOfTen[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    const double scale =
        decimals >= 0 && decimals <= 9 ? kPowersOfTen[decimals] : std::pow(10.0, decimals);
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
