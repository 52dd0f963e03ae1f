#pragma once

// The host's AI aircraft: each flies a closed loop laid out around one runway (circuits,
// straight-in approaches with a departure back out, or taxiing), at speeds and altitudes of
// light and airline traffic, so the radar shows believable movement.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/simhost/mp_messages.h"

namespace simhost {

struct Runway {
    double latitude = 0;  // threshold
    double longitude = 0;
    double trueHeading = 0;
    double lengthMetres = 2500;
    double elevationFeet = 0;
};

enum class Pattern { Circuit, StraightIn, Taxi, Parked };

struct Waypoint {
    double along = 0;        // metres from the threshold along the runway
    double across = 0;       // metres to the right of the centre line
    double altitudeAgl = 0;  // feet above the runway
    double speedKnots = 0;   // on the leg that starts here
};

class Aircraft {
public:
    Aircraft(std::string callsign, std::string model, std::int16_t category, Pattern pattern,
             const Runway& runway, double startFraction);

    void Advance(double seconds);
    AircraftState State() const;
    const std::string& Callsign() const { return m_callsign; }
    const std::string& Model() const { return m_model; }
    std::int16_t Category() const { return m_category; }
    Pattern Kind() const { return m_pattern; }
    // Coming in to land (a straight-in's way back and final), or climbing out after take-off;
    // circuits, taxiing and the landing roll are neither.
    bool Arriving() const;
    bool Departing() const;
    double DistanceNm() const;  // from the runway threshold

private:
    std::size_t Leg() const;
    double LegFraction(std::size_t leg) const;  // how far along its leg, 0 to 1

    std::string m_callsign;
    std::string m_model;
    std::int16_t m_category;
    Pattern m_pattern;
    Runway m_runway;
    std::vector<Waypoint> m_loop;
    std::vector<double> m_legStart;  // distance along the loop where each leg starts
    double m_loopLength = 0;
    double m_distance = 0;
};

std::vector<Waypoint> LoopFor(Pattern pattern, const Runway& runway);

// A fleet of `count` aircraft with callsigns, models and patterns drawn from `seed`.
std::vector<Aircraft> MakeFleet(int count, const Runway& runway, std::uint32_t seed);

}  // namespace simhost
