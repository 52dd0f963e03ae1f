#pragma once

// A description of a simulator folder to generate: scenery areas, their data files and what
// each file holds, in the simulator's own units (degrees, metres, feet, MHz).

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

struct IlsSpec {
    std::string name;  // "IKTV"
    double latitude = 0;
    double longitude = 0;
    double courseTrue = 0;  // degrees
    double frequencyMhz = 0;
    std::int32_t type = 4;  // 4 is an ILS; others are passed over by the builder
};

struct RunwaySpec {
    double latitude = 0;  // centre
    double longitude = 0;
    double elevationMetres = 0;
    double headingTrue = 0;  // degrees, of the designator's end
    std::int32_t lengthFeet = 0;
    std::int32_t widthFeet = 0;
    std::int32_t mark = 0;    // 0 none, 1 L/R, 2 R/L, 3 C, 4 H
    std::int32_t number = 0;  // designator number
    std::vector<IlsSpec> ils;
};

struct RadioSpec {
    double frequencyMhz = 0;
    std::int32_t kind =
        0;  // 1 ATIS, 5 ground, 6 tower, 7 clearance, 8 approach, 9 departure, 10 center
};

struct TaxiPointSpec {
    std::uint32_t word = 0;
    float eastMetres = 0;
    float northMetres = 0;
};

struct ParkingSpec {
    float eastMetres = 0;
    float northMetres = 0;
    float radiusMetres = 0;
    std::int32_t code = 1;  // name code 1..37
    std::int32_t number = 0;
};

struct TaxiPathSpec {
    std::uint32_t type = 0;  // 0 taxiway, 1 runway
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::int32_t nameIndex = 0;  // index into taxiwayNames, or of the runway
};

struct AirportSpec {
    std::string name;
    std::string ident;
    double latitude = 0;
    double longitude = 0;
    double elevationMetres = 0;
    std::vector<RadioSpec> radios;
    std::vector<RunwaySpec> runways;
    std::vector<TaxiPointSpec> taxiPoints;
    std::vector<TaxiPathSpec> taxiPaths;
    std::vector<ParkingSpec> parkings;
    std::vector<std::string> taxiwayNames;  // up to 8 characters each
};

struct AirspaceVertexSpec {
    std::int32_t kind =
        0;  // 0 polygon point with altitudes, 1 centre or point, 2 circle radius, 3..5 arcs
    double latitude = 0;
    double longitude = 0;
    std::int32_t radiusNm = 0;
};

struct AirspaceFrequencySpec {
    double frequencyMhz = 0;
    std::string comName;
};

struct AirspaceSpec {
    double south = 0, west = 0, north = 0, east = 0;  // bounding box, degrees
    std::vector<std::string> names;
    std::vector<AirspaceFrequencySpec> frequencies;
    std::vector<AirspaceVertexSpec> vertices;
    std::int32_t lowerAltitude = 0;
    std::int32_t upperAltitude = 0;
};

struct BglFileSpec {
    std::string name;    // file name, e.g. "AP_KTVO.BGL"
    bool marker = true;  // false: a file of another kind
    std::vector<AirportSpec> airports;
    std::vector<AirportSpec> boundaryAirports;  // airports placed in the boundary section
    std::vector<AirspaceSpec> airspaces;
    std::uint32_t fillerBytes = 0;  // extra bytes of another kind, for files without marker
};

struct AreaSpec {
    std::string header;  // "[Area.001]"
    std::string title;
    std::string local;   // as scenery.cfg says it, relative or absolute
    std::string folder;  // where the files go, relative to the simulator folder
    bool active = true;
    std::int32_t layer = 1;
    std::vector<BglFileSpec> files;
};

struct WorldSpec {
    std::vector<AreaSpec> areas;
    // Magnetic variation, degrees east: a + b * sin(longitude) * cos(latitude) + c * latitude / 90
    double magvarBase = 0;
    double magvarWave = 15;
    double magvarTilt = 5;
    bool extraGeneralSection = true;  // a [General] section ahead of the areas
};

}  // namespace tools
