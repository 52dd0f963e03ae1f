#pragma once

// The record family shared by the builder, the loader, the radar and the pointer read-out.
// Texts are byte strings, one byte per character (Windows-1252), converted only at the
// widget edge. Records are plain values: copying one copies its texts and arrays.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace model {

struct RunwayRecord {
    std::string designator;          // number without leading zero plus side letter, "9L"
    std::string oppositeDesignator;  // the other end, "27R"
    double end1Latitude = 0;         // threshold of designator, degrees north
    double end1Longitude = 0;        // degrees east
    double end2Latitude = 0;         // threshold of oppositeDesignator
    double end2Longitude = 0;
    std::int32_t elevation = 0;  // feet
    std::int16_t magHeading = 0;
    std::int16_t oppositeMagHeading = 0;
    std::int32_t lengthFeet = 0;
    std::int32_t widthFeet = 0;

    bool operator==(const RunwayRecord&) const = default;
};

struct IlsRecord {
    std::string name;
    double latitude = 0;  // the antenna, or the threshold it serves
    double longitude = 0;
    std::int16_t magCourse = 0;
    std::string frequency;  // MHz as decimal text

    bool operator==(const IlsRecord&) const = default;
};

struct TaxiPointRecord {
    std::uint32_t pointWord = 0;  // the point's first word as stored, not interpreted
    double latitude = 0;
    double longitude = 0;

    bool operator==(const TaxiPointRecord&) const = default;
};

struct ParkingRecord {
    std::string name;  // "GATE A 12"
    double latitude = 0;
    double longitude = 0;
    std::int32_t radiusFeet = 0;

    bool operator==(const ParkingRecord&) const = default;
};

struct TaxiPathRecord {
    std::uint32_t pathType = 0;    // 0 taxiway, 1 runway
    std::uint32_t startPoint = 0;  // index into taxiPoints
    std::uint32_t endPoint = 0;
    std::string name;  // taxiway name, or "Runway " and a designator

    bool operator==(const TaxiPathRecord&) const = default;
};

struct AirportRecord {
    std::string name;
    std::string ident;    // ICAO, upper case
    double latitude = 0;  // reference point
    double longitude = 0;
    std::int32_t elevation = 0;  // feet
    // Frequencies in MHz as decimal text ("118.35"); empty when the airport has none.
    std::string clearanceFreq;
    std::string groundFreq;
    std::string towerFreq;
    std::string departureFreq;
    std::string approachFreq;
    std::string centerFreq;
    std::string atisFreq;
    std::vector<RunwayRecord> runways;  // indices 0..runwayCount, the last one empty
    std::int32_t runwayCount = 0;
    std::vector<IlsRecord> ilsList;  // indices 0..ilsCount, the last one empty
    std::int32_t ilsCount = 0;
    std::vector<TaxiPointRecord> taxiPoints;  // exactly taxiPointCount
    std::int32_t taxiPointCount = 0;
    std::vector<ParkingRecord> parkings;  // exactly parkingCount
    std::int32_t parkingCount = 0;
    std::vector<TaxiPathRecord> taxiPaths;  // exactly taxiPathCount
    std::int32_t taxiPathCount = 0;

    bool operator==(const AirportRecord&) const = default;
};

// The settings file's one record; its byte layout lives in settings_record.h.
struct SettingsRecord {
    std::string version;
    std::uint8_t recordFlag = 0;         // always 1 once written
    std::uint8_t simKind = 0;            // 1 = Flight Simulator 2002, 0 = none chosen
    std::string simPath;                 // as entered, no trailing separator, a drive root as C:
    std::int32_t airportCount = 0;       // upper index of the airport array in the database
    std::int32_t airspaceFileCount = 0;  // upper index of the airspace file list

    bool operator==(const SettingsRecord&) const = default;
};

// One scenery library area of scenery.cfg, its fields named after the keys they come from.
struct SceneryArea {
    std::string Title;
    std::string Texture_ID;
    std::string Active;
    std::string Layer;
    std::string Required;
    std::string Remote;
    std::string Local;

    bool operator==(const SceneryArea&) const = default;
};

struct AirspaceVertex {
    std::uint8_t kind = 0;  // 0..5; a kind-1 vertex followed by a kind-2 one is a circle
    double latitude = 0;    // degrees, 4 decimals; 0 for kind 2
    double longitude = 0;
    std::int32_t radius = 0;  // kind 2 only, nautical miles

    bool operator==(const AirspaceVertex&) const = default;
};

struct AirspaceRecord {
    std::vector<AirspaceVertex> vertices;  // indices 0..vertexCount, one spare at the end
    std::int32_t vertexCount = 0;
    double centerLatitude = 0;  // half-way along the bounding box diagonal
    double centerLongitude = 0;
    std::int32_t lowerAltitude = 0;  // feet
    std::int32_t upperAltitude = 0;
    std::string frequencyList;  // each frequency followed by " Mhz" and two blanks
    std::string classLabel;
    std::string name;
    std::string comName;

    bool operator==(const AirspaceRecord&) const = default;
};

// One aircraft of the session, keyed by the player's friendly name.
struct TrafficEntry {
    std::string name;
    std::int32_t altitude = 0;  // feet
    double heading = 0;         // magnetic, whole degrees
    double longitude = 0;
    double latitude = 0;
    std::string category;
    std::string model;

    bool operator==(const TrafficEntry&) const = default;
};

// How many of an array's first `count` elements it really holds: a damaged database can
// announce more elements than its arrays carry.
template <typename T>
std::size_t UsedCount(const std::vector<T>& items, std::int32_t count) {
    return std::min(items.size(), static_cast<std::size_t>(std::max(count, 0)));
}

// A position handed back by the destination routines; only latitude and longitude are set.
struct Position {
    double latitude = 0;
    double longitude = 0;

    bool operator==(const Position&) const = default;
};

}  // namespace model
