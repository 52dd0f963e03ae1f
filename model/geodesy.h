#pragma once

// Spherical-Earth distance, bearing, destination and magnetic conversion: one nautical mile is
// one minute of arc, no ellipsoid, no height. Every such value in the system comes from here.
// Positions are decimal degrees, latitude north-positive, longitude east-positive; courses and
// headings are whole degrees.

#include "model/records.h"

namespace model {

// The constants as the system has always used them: a truncated pi and 6080 feet per mile.
inline constexpr double kPi = 3.14159265358979;
inline constexpr double kTwoPi = 6.28318530717958;
inline constexpr double kDegToRad = kPi / 180;
inline constexpr double kRadToDeg = 180 / kPi;
inline constexpr double kNmToRad = kPi / 10800;
inline constexpr double kRadToNm = 10800 / kPi;
inline constexpr double kFeetPerNm = 6080;
inline constexpr double kMetersPerNm = 1852;

// Radians; 0 for an argument outside [-1, 1].
double ArcSin(double x);
double ArcCos(double x);

// y - x * floor(y / x), plus x once more if that is negative.
double Mod_Real(double y, double x);

// h - 360 when above 360, then + 360 when below 0: 360 stays 360, -1 becomes 359.
int Normalize_Heading(int heading);

// Whole nautical miles, at most 32767.
int Distance_NM(double lat1, double lon1, double lat2, double lon2);

// Whole feet, at most 32767 (about 5.39 nm and beyond all read 32767).
int Distance_Feet(double lat1, double lon1, double lat2, double lon2);

// True course from point 1 to point 2, rounded up to the next whole degree: 0..360, and 360
// for coincident points. From a pole: 180 from the North Pole, 360 from the South Pole.
int Bearing_True(double lat1, double lon1, double lat2, double lon2);

// Whole degrees magnetic, with the variation at point 1.
int Bearing_Magnetic(double lat1, double lon1, double lat2, double lon2);

// The point reached along a true course; a negative distance counts as 0 (the metre variant
// takes its absolute value). Degrees rounded to 5 decimals (6 for metres), halves to even.
Position Destination_NM(double lat, double lon, int courseTrueDeg, int distanceNm);
Position Destination_Feet(double lat, double lon, int courseTrueDeg, int distanceFeet);
Position Destination_Meters(double lat, double lon, int courseTrueDeg, double distanceMeters);

// Whole degrees of variation from g_magvarTable at the nearest whole-degree grid point,
// truncated toward zero. Longitudes wrap into 0..359 and latitudes clamp to -90..90, so no
// position reads outside the table.
int Magvar_At(double lat, double lon);

int True_To_Magnetic(int heading, double lat, double lon);
int Magnetic_To_True(int heading, double lat, double lon);

}  // namespace model
