#include "tools/simhost/traffic.h"

#include <array>
#include <cmath>
#include <random>

namespace simhost {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kKnot = 1852.0 / 3600.0;  // metres per second
constexpr double kNm = 1852.0;
constexpr double kMetresPerDegreeLat = 40007000.0 / 360.0;

struct Type {
    const char* model;
    std::int16_t category;
    const char* airline;
};

constexpr std::array<Type, 8> kTypes{{
    {"Cessna Skyhawk 172SP", 0, "N"},
    {"Beech Baron 58", 0, "N"},
    {"Boeing 737-400", 1, "ASA"},
    {"Boeing 747-400", 1, "UAL"},
    {"Airbus A321", 1, "DAL"},
    {"Learjet 45", 1, "EJA"},
    {"Bell 206B JetRanger", 3, "N"},
    {"Extra 300S", 0, "N"},
}};

double Lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

}  // namespace

std::vector<Waypoint> LoopFor(Pattern pattern, const Runway& runway) {
    const double len = runway.lengthMetres;
    switch (pattern) {
        case Pattern::Circuit:
            // Left-hand circuit at 1000 ft, touch and go.
            return {{0, 0, 0, 70},
                    {len * 0.4, 0, 0, 75},
                    {len + 1500, 0, 800, 80},
                    {len + 2500, -1500, 1000, 90},
                    {len * 0.5, -2000, 1000, 95},
                    {-2500, -2000, 1000, 85},
                    {-3000, -300, 700, 75},
                    {-2000, 0, 500, 70}};
        case Pattern::StraightIn:
            // Ten-mile final, landing, a departure straight out and a wide turn back.
            return {{-10 * kNm, 0, 3000, 180},
                    {-3 * kNm, 0, 950, 150},
                    {0, 0, 0, 140},
                    {len * 0.6, 0, 0, 40},
                    {len * 0.6 + 1, 0, 0, 150},
                    {len + 4 * kNm, 0, 4000, 250},
                    {len + 8 * kNm, 3 * kNm, 6000, 250},
                    {-6 * kNm, 5 * kNm, 5000, 230},
                    {-12 * kNm, 2 * kNm, 3500, 200}};
        case Pattern::Taxi:
            // Along the parallel taxiway and back.
            return {{0, 180, 0, 15}, {len, 180, 0, 12}, {len + 60, 240, 0, 15}, {-60, 240, 0, 12}};
        case Pattern::Parked:
            // Standing on the apron beyond the parallel taxiway, facing along the runway.
            return {{120, 450, 0, 0}, {121, 450, 0, 0}};
    }
    return {};
}

Aircraft::Aircraft(std::string callsign, std::string model, std::int16_t category, Pattern pattern,
                   const Runway& runway, double startFraction)
    : m_callsign(std::move(callsign)),
      m_model(std::move(model)),
      m_category(category),
      m_pattern(pattern),
      m_runway(runway),
      m_loop(LoopFor(pattern, runway)) {
    for (std::size_t i = 0; i < m_loop.size(); ++i) {
        const auto& a = m_loop[i];
        const auto& b = m_loop[(i + 1) % m_loop.size()];
        m_legStart.push_back(m_loopLength);
        m_loopLength += std::hypot(b.along - a.along, b.across - a.across);
    }
    m_distance = std::fmod(startFraction, 1.0) * m_loopLength;
}

void Aircraft::Advance(double seconds) {
    const std::size_t leg = Leg();
    m_distance = std::fmod(m_distance + m_loop[leg].speedKnots * kKnot * seconds, m_loopLength);
}

std::size_t Aircraft::Leg() const {
    std::size_t leg = 0;
    while (leg + 1 < m_legStart.size() && m_legStart[leg + 1] <= m_distance)
        ++leg;
    return leg;
}

// The straight-in loop's legs: 0 and 1 the final, 2 and 3 the landing roll, 4 and 5 the climb
// out, 6 to 8 the way back to the final.
bool Aircraft::Arriving() const {
    const std::size_t leg = Leg();
    return m_pattern == Pattern::StraightIn && (leg <= 1 || leg >= 6);
}

bool Aircraft::Departing() const {
    const std::size_t leg = Leg();
    return m_pattern == Pattern::StraightIn && (leg == 4 || leg == 5);
}

double Aircraft::LegFraction(std::size_t leg) const {
    const auto& a = m_loop[leg];
    const auto& b = m_loop[(leg + 1) % m_loop.size()];
    const double legLength = std::hypot(b.along - a.along, b.across - a.across);
    return legLength > 0 ? (m_distance - m_legStart[leg]) / legLength : 0;
}

double Aircraft::DistanceNm() const {
    const std::size_t leg = Leg();
    const auto& a = m_loop[leg];
    const auto& b = m_loop[(leg + 1) % m_loop.size()];
    const double t = LegFraction(leg);
    return std::hypot(Lerp(a.along, b.along, t), Lerp(a.across, b.across, t)) / kNm;
}

AircraftState Aircraft::State() const {
    const std::size_t leg = Leg();
    const auto& a = m_loop[leg];
    const auto& b = m_loop[(leg + 1) % m_loop.size()];
    const double t = LegFraction(leg);
    const double along = Lerp(a.along, b.along, t);
    const double across = Lerp(a.across, b.across, t);

    const double h = m_runway.trueHeading * kPi / 180.0;
    const double north = along * std::cos(h) - across * std::sin(h);
    const double east = along * std::sin(h) + across * std::cos(h);
    AircraftState s;
    s.latitude = m_runway.latitude + north / kMetresPerDegreeLat;
    s.longitude = m_runway.longitude +
                  east / (kMetresPerDegreeLat * std::cos(m_runway.latitude * kPi / 180.0));
    s.altitudeFeet = m_runway.elevationFeet + Lerp(a.altitudeAgl, b.altitudeAgl, t);
    const double dNorth = (b.along - a.along) * std::cos(h) - (b.across - a.across) * std::sin(h);
    const double dEast = (b.along - a.along) * std::sin(h) + (b.across - a.across) * std::cos(h);
    double heading = std::atan2(dEast, dNorth) * 180.0 / kPi;
    if (heading < 0)
        heading += 360.0;
    s.trueHeading = heading;
    return s;
}

std::vector<Aircraft> MakeFleet(int count, const Runway& runway, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<Aircraft> fleet;
    for (int i = 0; i < count; ++i) {
        const Type& type = kTypes[random() % kTypes.size()];
        std::string callsign = type.airline;
        if (callsign == "N")
            callsign += std::to_string(100 + random() % 900) +
                        static_cast<char>('A' + random() % 26) +
                        static_cast<char>('A' + random() % 26);
        else
            callsign += std::to_string(100 + random() % 9000);
        // Callsigns name the traffic table's rows: they must differ.
        for (const auto& other : fleet)
            if (other.Callsign() == callsign)
                callsign += static_cast<char>('A' + i % 26);
        const auto pattern = static_cast<Pattern>(i % 3);
        const double start = static_cast<double>(random() % 1000) / 1000.0;
        fleet.emplace_back(callsign, type.model, type.category, pattern, runway, start);
    }
    return fleet;
}

}  // namespace simhost
