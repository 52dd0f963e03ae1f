#include "model/geodesy.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "model/rounding.h"
#include "model/shared_state.h"

namespace model {
namespace {

constexpr double kMaxShort = 32767;

// Central angle in radians between two positions given in degrees: the haversine form for
// points less than a radian apart in both coordinates, the law of cosines otherwise.
double CentralAngle(double lat1, double lon1, double lat2, double lon2) {
    const double phi1 = lat1 * kDegToRad;
    const double lambda1 = lon1 * kDegToRad;
    const double phi2 = lat2 * kDegToRad;
    const double lambda2 = lon2 * kDegToRad;
    if (std::trunc(phi1 - phi2) == 0 && std::trunc(lambda1 - lambda2) == 0) {
        const double sinHalfLat = std::sin((phi1 - phi2) / 2);
        const double sinHalfLon = std::sin((lambda1 - lambda2) / 2);
        const double a =
            sinHalfLat * sinHalfLat + std::cos(phi1) * std::cos(phi2) * sinHalfLon * sinHalfLon;
        return 2 * ArcSin(std::sqrt(a));
    }
    return ArcCos(std::sin(phi1) * std::sin(phi2) +
                  std::cos(phi1) * std::cos(phi2) * std::cos(lambda1 - lambda2));
}

// The destination computation runs with west-positive longitude.
Position Destination(double lat, double lon, int courseTrueDeg, double distanceRad, int decimals) {
    const double phi1 = lat * kDegToRad;
    const double lambda1 = -lon * kDegToRad;
    const double tc = courseTrueDeg * kDegToRad;
    const double d = distanceRad;
    const double phi =
        ArcSin(std::sin(phi1) * std::cos(d) + std::cos(phi1) * std::sin(d) * std::cos(tc));
    double lambda = lambda1;
    if (std::cos(phi) != 0) {
        const double dLambda = ArcSin(std::sin(tc) * std::sin(d) / std::cos(phi));
        lambda = Mod_Real(lambda1 - dLambda + kPi, kTwoPi) - kPi;
    }
    return Position{RoundHalfEven(phi * kRadToDeg, decimals),
                    RoundHalfEven(-lambda * kRadToDeg, decimals)};
}

}  // namespace

double ArcSin(double x) {
    // Written so that NaN, from a degenerate division upstream, also reads as outside.
    if (!(x >= -1 && x <= 1)) {
        return 0;
    }
    return 2 * std::atan(x / (1 + std::sqrt(1 - x * x)));
}

double ArcCos(double x) {
    if (!(x >= -1 && x <= 1)) {
        return 0;
    }
    if (x >= 0) {
        return 2 * std::atan(std::sqrt((1 - x) / (1 + x)));
    }
    return kPi - 2 * std::atan(std::sqrt((1 + x) / (1 - x)));
}

double Mod_Real(double y, double x) {
    double result = y - x * std::floor(y / x);
    if (result < 0) {
        result += x;
    }
    return result;
}

int Normalize_Heading(int heading) {
    if (heading > 360) {
        heading -= 360;
    }
    if (heading < 0) {
        heading += 360;
    }
    return heading;
}

int Distance_NM(double lat1, double lon1, double lat2, double lon2) {
    const double nm = std::min(CentralAngle(lat1, lon1, lat2, lon2) * kRadToNm, kMaxShort);
    return RoundToInt(nm);
}

int Distance_Feet(double lat1, double lon1, double lat2, double lon2) {
    const double nm = RoundHalfEven(CentralAngle(lat1, lon1, lat2, lon2) * kRadToNm, 5);
    const double feet = std::min(RoundHalfEven(nm * kFeetPerNm, 5), kMaxShort);
    return RoundToInt(feet);
}

int Bearing_True(double lat1, double lon1, double lat2, double lon2) {
    const double d = CentralAngle(lat1, lon1, lat2, lon2);
    double c = 0;
    if (d != 0) {
        // From a pole every direction is south (or north): cos(lat1) would be the divisor.
        if (lat1 >= 90) {
            return 180;
        }
        if (lat1 <= -90) {
            return 360;
        }
        const double phi1 = lat1 * kDegToRad;
        const double phi2 = lat2 * kDegToRad;
        const double x =
            (std::sin(phi2) - std::cos(d) * std::sin(phi1)) / (std::cos(phi1) * std::sin(d));
        const double a = ArcCos(x);
        // With east-positive longitudes c is the true course measured anticlockwise.
        c = std::sin(lon2 * kDegToRad - lon1 * kDegToRad) < 0 ? a : kTwoPi - a;
    }
    return 360 - static_cast<int>(std::floor(c * kRadToDeg));
}

int Bearing_Magnetic(double lat1, double lon1, double lat2, double lon2) {
    const int bearing = Normalize_Heading(Bearing_True(lat1, lon1, lat2, lon2));
    return True_To_Magnetic(bearing, lat1, lon1);
}

Position Destination_NM(double lat, double lon, int courseTrueDeg, int distanceNm) {
    const double distanceRad = std::max(distanceNm, 0) * kNmToRad;
    return Destination(lat, lon, courseTrueDeg, distanceRad, 5);
}

Position Destination_Feet(double lat, double lon, int courseTrueDeg, int distanceFeet) {
    const double distanceRad = std::max(distanceFeet, 0) / kFeetPerNm * kNmToRad;
    return Destination(lat, lon, courseTrueDeg, distanceRad, 5);
}

Position Destination_Meters(double lat, double lon, int courseTrueDeg, double distanceMeters) {
    const double distanceRad = std::abs(distanceMeters) / kMetersPerNm * kNmToRad;
    return Destination(lat, lon, courseTrueDeg, distanceRad, 6);
}

int Magvar_At(double lat, double lon) {
    const int latDeg = std::clamp(RoundToInt(lat), -90, 90);
    int lonDeg = RoundToInt(lon);
    if (lonDeg < 0) {
        lonDeg += 360;
    }
    // Inputs beyond the -180..359.5 range would land outside the grid: wrap once more.
    lonDeg = ((lonDeg % 360) + 360) % 360;
    const auto index = static_cast<std::size_t>((latDeg + 90) + 181 * lonDeg);
    const double degrees = g_magvarTable[index] * 360.0 / 65536.0;
    return static_cast<int>(std::trunc(degrees));
}

int True_To_Magnetic(int heading, double lat, double lon) {
    return Normalize_Heading(heading - Magvar_At(lat, lon));
}

int Magnetic_To_True(int heading, double lat, double lon) {
    return Normalize_Heading(heading + Magvar_At(lat, lon));
}

}  // namespace model
