#include "tools/scenery/presets.h"

#include <cmath>
#include <cstdio>
#include <random>

namespace tools {
namespace {

constexpr double kDegToRad = 3.14159265358979 / 180;
constexpr double kMetresPerDegreeLat = 111120.0;

// A point east and north of a reference, in degrees.
std::pair<double, double> Offset(double lat, double lon, double eastMetres, double northMetres) {
    return {lat + northMetres / kMetresPerDegreeLat,
            lon + eastMetres / (kMetresPerDegreeLat * std::cos(lat * kDegToRad))};
}

std::string AreaHeader(int number, bool oddCase) {
    char text[32];
    std::snprintf(text, sizeof text, oddCase ? "[AREA.%03d]" : "[Area.%03d]", number);
    return text;
}

RunwaySpec Runway(double lat, double lon, double eastMetres, double northMetres, double heading,
                  int lengthFeet, int widthFeet, int number, int mark) {
    const auto [rlat, rlon] = Offset(lat, lon, eastMetres, northMetres);
    RunwaySpec runway;
    runway.latitude = rlat;
    runway.longitude = rlon;
    runway.headingTrue = heading;
    runway.lengthFeet = lengthFeet;
    runway.widthFeet = widthFeet;
    runway.number = number;
    runway.mark = mark;
    return runway;
}

// An ILS antenna at the far end of a runway end's approach, flying that end's course.
IlsSpec IlsFor(const RunwaySpec& runway, bool oppositeEnd, const std::string& name, double mhz) {
    const double course =
        oppositeEnd ? std::fmod(runway.headingTrue + 180, 360) : runway.headingTrue;
    const double half = runway.lengthFeet * 0.3048 / 2;
    const auto [lat, lon] =
        Offset(runway.latitude, runway.longitude, std::sin(course * kDegToRad) * half,
               std::cos(course * kDegToRad) * half);
    IlsSpec ils;
    ils.name = name;
    ils.latitude = lat;
    ils.longitude = lon;
    ils.courseTrue = course;
    ils.frequencyMhz = mhz;
    return ils;
}

AirspaceSpec Circle(const std::string& name, double lat, double lon, int radiusNm, int lower,
                    int upper) {
    AirspaceSpec airspace;
    const double dLat = radiusNm / 60.0;
    const double dLon = dLat / std::cos(lat * kDegToRad);
    airspace.south = lat - dLat;
    airspace.north = lat + dLat;
    airspace.west = lon - dLon;
    airspace.east = lon + dLon;
    airspace.names = {name};
    airspace.vertices = {{1, lat, lon, 0}, {2, 0, 0, radiusNm}};
    airspace.lowerAltitude = lower;
    airspace.upperAltitude = upper;
    return airspace;
}

// The airspace's bounding box: the smallest that holds every point of its boundary.
void Bound(AirspaceSpec& airspace, const std::vector<std::pair<double, double>>& boundary) {
    airspace.south = airspace.west = 1e9;
    airspace.north = airspace.east = -1e9;
    for (const auto& [lat, lon] : boundary) {
        airspace.south = std::min(airspace.south, lat);
        airspace.north = std::max(airspace.north, lat);
        airspace.west = std::min(airspace.west, lon);
        airspace.east = std::max(airspace.east, lon);
    }
}

AirspaceSpec Polygon(const std::string& name, const std::vector<std::pair<double, double>>& points,
                     int lower, int upper) {
    AirspaceSpec airspace;
    airspace.names = {name};
    for (const auto& [lat, lon] : points)
        airspace.vertices.push_back({0, lat, lon, 0});
    Bound(airspace, points);
    airspace.lowerAltitude = lower;
    airspace.upperAltitude = upper;
    return airspace;
}

// An airspace bounded as real class B and C shelves are: from the outer radius on bearing
// `from`, an arc clockwise to bearing `to`, a line in to the inner radius, an arc back to
// `from` (clockwise the long way round when `innerClockwise`, enclosing the centre, otherwise
// counter-clockwise, leaving a shelf), and a line out to where it started.
AirspaceSpec ArcBounded(const std::string& name, double lat, double lon, int innerNm, int outerNm,
                        double from, double to, bool innerClockwise, int lower, int upper) {
    auto at = [&](double radiusNm, double bearing) {
        const double metres = radiusNm * 1852.0;
        return Offset(lat, lon, std::sin(bearing * kDegToRad) * metres,
                      std::cos(bearing * kDegToRad) * metres);
    };
    AirspaceSpec airspace;
    airspace.names = {name};
    const auto start = at(outerNm, from);
    const auto outerEnd = at(outerNm, to);
    const auto innerStart = at(innerNm, to);
    const auto innerEnd = at(innerNm, from);
    airspace.vertices = {{0, start.first, start.second, 0},
                         {1, lat, lon, 0},
                         {3, outerEnd.first, outerEnd.second, 0},
                         {5, innerStart.first, innerStart.second, 0},
                         {innerClockwise ? 3 : 4, innerEnd.first, innerEnd.second, 0},
                         {5, start.first, start.second, 0}};
    // The bounding box of the boundary, its arcs followed a degree at a time.
    std::vector<std::pair<double, double>> boundary;
    const double outerSweep = std::fmod(to - from + 360, 360);
    for (double d = 0; d <= outerSweep; d += 1)
        boundary.push_back(at(outerNm, from + d));
    const double innerSweep = innerClockwise ? std::fmod(from - to + 360, 360) : outerSweep;
    for (double d = 0; d <= innerSweep; d += 1)
        boundary.push_back(at(innerNm, innerClockwise ? to + d : to - d));
    Bound(airspace, boundary);
    airspace.lowerAltitude = lower;
    airspace.upperAltitude = upper;
    return airspace;
}

AirportSpec MajorAirport() {
    const double lat = kDemoAirportLatitude;
    const double lon = kDemoAirportLongitude;
    AirportSpec airport;
    airport.name = "Tarvolo International";
    airport.ident = "KTVO";
    airport.latitude = lat;
    airport.longitude = lon;
    airport.elevationMetres = 131;
    airport.radios = {{118.0, 7}, {121.7, 5},  {119.9, 6},  {120.95, 6}, {119.2, 9},
                      {123.9, 8}, {125.1, 10}, {118.45, 1}, {122.95, 3}};

    // Two parallel runways 16L/34R and 16R/34L, 1000 m apart, ILS on both ends of both.
    const double heading = 180.2;
    RunwaySpec left = Runway(lat, lon, 500, 0, heading, 11900, 150, 16, 1);
    RunwaySpec right = Runway(lat, lon, -500, 0, heading, 9426, 150, 16, 2);
    left.ils = {IlsFor(left, false, "ITVL", 110.3), IlsFor(left, true, "ISTL", 111.7)};
    right.ils = {IlsFor(right, false, "ITVR", 110.5), IlsFor(right, true, "ISTR", 109.9)};
    airport.runways = {left, right};
    airport.runways.push_back(Runway(lat, lon, 0, 1600, 270.4, 5000, 75, 27, 0));

    // A parallel taxiway A between the runways, connectors B1..B4 to each runway, the apron
    // with its gates to the west.
    const float ys[] = {-1700, -800, 0, 800, 1700};
    for (std::uint32_t i = 0; i < 5; ++i) {
        airport.taxiPoints.push_back({i, 0, ys[i]});          // on A
        airport.taxiPoints.push_back({i + 5, 500, ys[i]});    // at 16L
        airport.taxiPoints.push_back({i + 10, -500, ys[i]});  // at 16R
    }
    airport.taxiwayNames = {"A", "B1", "B2", "B3", "B4", "C", "D"};
    for (std::uint32_t i = 0; i + 1 < 5; ++i) {
        airport.taxiPaths.push_back({0, i * 3, (i + 1) * 3, 0});  // along A
    }
    for (std::uint32_t i = 0; i < 4; ++i) {
        airport.taxiPaths.push_back({0, i * 3, i * 3 + 1, static_cast<std::int32_t>(1 + i)});
        airport.taxiPaths.push_back({0, i * 3, i * 3 + 2, static_cast<std::int32_t>(5 + i % 2)});
    }
    airport.taxiPaths.push_back({1, 1, 13, 0});  // along 16L
    airport.taxiPaths.push_back({1, 2, 14, 1});  // along 16R
    for (int gate = 1; gate <= 8; ++gate) {
        airport.parkings.push_back(
            {-900, -600.0f + 130.0f * static_cast<float>(gate), 30, 12, gate});  // GATE A
    }
    for (int gate = 1; gate <= 6; ++gate) {
        airport.parkings.push_back(
            {-1050, -500.0f + 150.0f * static_cast<float>(gate), 35, 13, gate});  // GATE B
    }
    for (int spot = 1; spot <= 5; ++spot) {
        airport.parkings.push_back(
            {-800, 1200.0f + 40.0f * static_cast<float>(spot), 12, 1, spot});  // PARKING
    }
    airport.parkings.push_back({-700, -1500, 20, 11, 1});  // DOCK 1
    airport.parkings.push_back({0, 0, 15, 4, 2});          // E PARKING 2, on the reference point
    return airport;
}

AirportSpec SmallField(const std::string& name, const std::string& ident, double lat, double lon,
                       double heading, int number, bool tower, bool crossing) {
    AirportSpec airport;
    airport.name = name;
    airport.ident = ident;
    airport.latitude = lat;
    airport.longitude = lon;
    airport.elevationMetres = 40 + number;
    if (tower) {
        airport.radios = {{118.3, 6}, {121.8, 5}, {126.8, 1}};
    } else {
        airport.radios = {{122.8, 6}};
    }
    airport.runways.push_back(Runway(lat, lon, 0, 0, heading, 4200, 75, number, 0));
    if (crossing) {
        const int crossNumber = (number + 9 - 1) % 36 + 1;
        airport.runways.push_back(
            Runway(lat, lon, 200, 100, heading + 90, 3100, 60, crossNumber, 0));
    }
    airport.taxiPoints = {{0, 0, 0}, {1, 150, 0}, {2, 150, 300}};
    airport.taxiPaths = {{0, 0, 1, 0}, {0, 1, 2, 0}};
    airport.taxiwayNames = {"A"};
    airport.parkings = {{180, 20, 10, 1, 1}, {180, 60, 10, 1, 2}, {180, 100, 10, 1, 3}};
    return airport;
}

WorldSpec Demo() {
    WorldSpec world;
    world.magvarBase = 18;
    world.magvarWave = 2;
    world.magvarTilt = 1;
    const double lat = kDemoAirportLatitude;
    const double lon = kDemoAirportLongitude;

    AreaSpec base{
        "[Area.001]", "Default Terrain", "Scenery\\World", "Scenery/World/scenery", true, 1, {}};
    base.files.push_back({"AP_KTVO.BGL", true, {MajorAirport()}, {}, {}, 0});
    base.files.push_back(
        {"ap_fields.bgl",
         true,
         {SmallField("Harbor Field", "KHBF", lat + 0.33, lon + 0.02, 130.5, 13, true, false),
          SmallField("Renton Valley", "KRNV", lat + 0.05, lon + 0.11, 157.0, 16, true, true),
          SmallField("Crest Airpark", "S36X", lat - 0.25, lon + 0.14, 150.0, 15, false, false),
          SmallField("Bay Harbour Seaplane Base", "W55X", lat + 0.18, lon - 0.01, 180, 18, false,
                     false)},
         {},
         {},
         0});

    // Airspace layers around the major airport, and a centre boundary around the region.
    std::vector<AirspaceSpec> airspaces;
    // Tarvolo's class B: a surface area reaching 10 nm east and 5 nm west of the field, with
    // a shelf from 3000 ft between 5 and 10 nm on the west side; Renton Valley's class C: a
    // 5 nm core and a shelf from 1200 ft out to 10 nm towards the south-west, over Tarvolo.
    airspaces.push_back(ArcBounded("TARVOLO CLASS B", lat, lon, 5, 10, 340, 160, true, 0, 10000));
    airspaces.push_back(
        ArcBounded("TARVOLO CLASS B WEST", lat, lon, 5, 10, 160, 340, false, 3000, 10000));
    airspaces.push_back(Circle("RENTON VALLEY CLASS C", lat + 0.05, lon + 0.11, 5, 0, 4000));
    airspaces.push_back(ArcBounded("RENTON VALLEY CLASS C SHELF", lat + 0.05, lon + 0.11, 5, 10,
                                   180, 270, false, 1200, 4000));
    airspaces.push_back(Circle("HARBOR FIELD CLASS D", lat + 0.33, lon + 0.02, 4, 0, 2500));
    AirspaceSpec centre = Polygon("TARVOLO CENTER",
                                  {{lat - 2.5, lon - 3.5},
                                   {lat + 2.5, lon - 3.5},
                                   {lat + 2.5, lon + 3.5},
                                   {lat - 2.5, lon + 3.5}},
                                  0, 60000);
    centre.names.push_back("SECTOR 12");
    centre.frequencies = {{125.1, "TARVOLO CENTER"}, {132.35, "TARVOLO CENTER"}};
    airspaces.push_back(centre);
    base.files.push_back({"bnd_tarvolo.bgl", true, {}, {}, airspaces, 0});
    base.files.push_back({"Texture_Lib.bgl", false, {}, {}, {}, 4096});

    AreaSpec addon{"[Area.002]",
                   "Addon Scenery",
                   "{SIM}/Addon Scenery/Tarvolo",
                   "Addon Scenery/Tarvolo/scenery",
                   false,
                   2,
                   {}};
    addon.files.push_back(
        {"ADDON_SEAPLANE.BGL",
         true,
         {SmallField("Lake Union Seaplane", "W10X", lat + 0.2, lon + 0.03, 160, 16, false, false)},
         {},
         {Circle("LAKE UNION CLASS D", lat + 0.2, lon + 0.03, 3, 0, 2000)},
         0});
    world.areas = {base, addon};
    return world;
}

WorldSpec Tiny() {
    WorldSpec world;
    world.magvarBase = 10;
    world.magvarWave = 0;
    world.magvarTilt = 0;
    AreaSpec first{
        "[Area.001]", "Tiny World", "Scenery\\World", "Scenery/World/Scenery", true, 1, {}};
    AirportSpec alpha = SmallField("Alpha Field", "kalp", 10.0, 20.0, 90.0, 9, true, true);
    alpha.runways[0].ils = {IlsFor(alpha.runways[0], false, "IALP", 109.5),
                            IlsFor(alpha.runways[0], true, "IPLA", 110.1)};
    alpha.radios.push_back({119.2, 9});
    alpha.radios.push_back({123.9, 8});
    alpha.taxiPaths.push_back({1, 0, 2, 1});  // along runway index 1
    alpha.taxiPaths.push_back({1, 0, 2, 7});  // names no runway
    first.files.push_back(
        {"ap_alpha.bgl", true, {alpha}, {}, {Circle("ALPHA CLASS D", 10.0, 20.0, 4, 0, 2500)}, 0});
    first.files.push_back({"nothing.BGL", false, {}, {}, {}, 200});
    first.files.push_back({"Ap_Bravo.BGL",
                           true,
                           {SmallField("Bravo Strip", "KBRV", 10.5, 20.5, 45.0, 5, false, false)},
                           {SmallField("Boundary Field", "KBND", 10.2, 20.2, 0, 36, false, false)},
                           {},
                           0});
    AreaSpec second{
        "[area.002]", "Inactive Extras", "Scenery/Extras", "Scenery/EXTRAS/scenery", false, 2, {}};
    second.files.push_back(
        {"extra.bgl",
         true,
         {SmallField("Charlie Park", "KCHP", -33.9, 151.2, 340.0, 34, true, false)},
         {},
         {},
         0});
    AreaSpec missing{"[Area.003]", "Missing Folder", "Scenery\\Nowhere", "", true, 3, {}};
    world.areas = {first, second, missing};
    return world;
}

// Airports spread over the land of a coarse world: 120 areas of about 25 files each, about
// one file in three holding airports, the rest boundaries only or files of other kinds.
WorldSpec WorldScale(std::uint32_t seed) {
    WorldSpec world;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    constexpr int kAreas = 120;
    constexpr int kAirportsTotal = 21000;
    int airportsLeft = kAirportsTotal;
    int airportNumber = 0;
    for (int a = 0; a < kAreas; ++a) {
        char title[64];
        std::snprintf(title, sizeof title, "World Region %03d", a + 1);
        char folder[64];
        std::snprintf(folder, sizeof folder, "Scenery/Region%03d", a + 1);
        AreaSpec area{AreaHeader(a + 1, a % 17 == 3),
                      title,
                      a % 9 == 4 ? std::string("{SIM}/") + folder : std::string(folder),
                      std::string(folder) + "/scenery",
                      a % 11 != 5,
                      a + 1,
                      {}};
        const double baseLat = -55 + (a / 12) * 12.0;
        const double baseLon = -175 + (a % 12) * 30.0;
        const int files = 20 + static_cast<int>(unit(random) * 11);
        const int airportFiles = 8;
        const int perFile =
            (airportsLeft + (kAreas - a) * airportFiles - 1) / ((kAreas - a) * airportFiles);
        for (int f = 0; f < files; ++f) {
            char name[64];
            BglFileSpec file;
            if (f < airportFiles && airportsLeft > 0) {
                std::snprintf(name, sizeof name, "AP%03d_%02d.BGL", a + 1, f);
                file.name = name;
                const int count = std::min(perFile, airportsLeft);
                for (int i = 0; i < count; ++i, ++airportNumber) {
                    char ident[8];
                    std::snprintf(ident, sizeof ident, "X%03X", airportNumber % 4096);
                    char airportName[48];
                    std::snprintf(airportName, sizeof airportName, "Field %05d", airportNumber);
                    const double lat = baseLat + unit(random) * 11.5;
                    const double lon = baseLon + unit(random) * 29.5;
                    const double heading = unit(random) * 360;
                    const int number = static_cast<int>(std::lround(heading / 10)) % 36 + 1;
                    AirportSpec airport = SmallField(airportName, ident, lat, lon, heading, number,
                                                     i % 3 == 0, i % 5 == 0);
                    if (i % 7 != 0) {
                        airport.taxiPoints.clear();
                        airport.taxiPaths.clear();
                        airport.parkings.clear();
                        airport.taxiwayNames.clear();
                    }
                    file.airports.push_back(std::move(airport));
                }
                airportsLeft -= count;
            } else if (f % 5 == 0) {
                std::snprintf(name, sizeof name, "bnd%03d_%02d.bgl", a + 1, f);
                file.name = name;
                const double lat = baseLat + 6;
                const double lon = baseLon + 15;
                file.airspaces.push_back(Circle("REGION CLASS C", lat, lon, 5, 0, 4000));
                file.airspaces.push_back(Polygon("REGION FIR",
                                                 {{baseLat, baseLon},
                                                  {baseLat + 12, baseLon},
                                                  {baseLat + 12, baseLon + 30},
                                                  {baseLat, baseLon + 30}},
                                                 0, 60000));
            } else if (f % 5 == 1) {
                std::snprintf(name, sizeof name, "TEX%03d_%02d.BGL", a + 1, f);
                file.name = name;
                file.marker = false;
                file.fillerBytes = 2048;
            } else {
                std::snprintf(name, sizeof name, "obj%03d_%02d.bgl", a + 1, f);
                file.name = name;
                file.fillerBytes = 8192;  // scenery objects this program does not read
            }
            area.files.push_back(std::move(file));
        }
        world.areas.push_back(std::move(area));
    }
    return world;
}

}  // namespace

std::optional<WorldSpec> PresetWorld(const std::string& name, std::uint32_t seed) {
    if (name == "tiny") {
        return Tiny();
    }
    if (name == "demo") {
        return Demo();
    }
    if (name == "world") {
        return WorldScale(seed);
    }
    return std::nullopt;
}

}  // namespace tools
