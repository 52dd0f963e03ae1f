#pragma once

namespace model {

// Every conversion of a real to a whole number in the system rounds to the nearest and
// halves to even (0.5 -> 0, 1.5 -> 2, -2.5 -> -2), also when rounding to decimal places.
double RoundHalfEven(double value);

// Rounds to the given number of decimal places, halves to even on the scaled value.
double RoundHalfEven(double value, int decimals);

// RoundHalfEven to a whole number, then converted; values beyond the int range saturate.
int RoundToInt(double value);

}  // namespace model
