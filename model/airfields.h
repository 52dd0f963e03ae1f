#pragma once

// Every airport of the database reduced to where it is and how high: kept when GET AIRPORT
// lets the database go, so that the conflict alert can tell an aircraft parked at another
// field from one flying low over it.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace model {

struct Airfield {
    double latitude = 0;
    double longitude = 0;
    std::int32_t elevation = 0;  // feet
    std::string ident;           // ICAO
};

class AirfieldIndex {
public:
    static constexpr double kSearchNm = 60;  // beyond it no field counts as nearest

    AirfieldIndex() = default;
    explicit AirfieldIndex(std::vector<Airfield> fields);

    // The elevation of the nearest field within kSearchNm; none where there is none.
    std::optional<std::int32_t> NearestElevation(double latitude, double longitude) const;
    std::size_t Size() const { return m_fields.size(); }
    // The field with that ICAO ident (the first of the database), or none.
    const Airfield* Find(const std::string& ident) const;

private:
    static std::int64_t Cell(int latCell, int lonCell);
    std::vector<Airfield> m_fields;
    std::unordered_map<std::int64_t, std::vector<std::uint32_t>> m_cells;  // whole degrees
};

// The fields of the database read last (empty before any).
extern AirfieldIndex g_airfields;

}  // namespace model
