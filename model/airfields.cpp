#include "model/airfields.h"

#include <algorithm>
#include <cmath>

namespace model {

AirfieldIndex g_airfields;

namespace {

constexpr double kRadians = 3.14159265358979323846 / 180;

int CellOf(double degrees) {
    return static_cast<int>(std::floor(degrees));
}

// Nautical miles on the sphere, a minute of arc a mile.
double ArcNm(double lat1, double lon1, double lat2, double lon2) {
    const double a = std::pow(std::sin((lat2 - lat1) * kRadians / 2), 2) +
                     std::cos(lat1 * kRadians) * std::cos(lat2 * kRadians) *
                         std::pow(std::sin((lon2 - lon1) * kRadians / 2), 2);
    return 2 * std::asin(std::min(1.0, std::sqrt(a))) / kRadians * 60;
}

}  // namespace

const Airfield* AirfieldIndex::Find(const std::string& ident) const {
    if (ident.empty())
        return nullptr;
    const auto it = std::find_if(m_fields.begin(), m_fields.end(),
                                 [&](const Airfield& field) { return field.ident == ident; });
    return it == m_fields.end() ? nullptr : &*it;
}

std::int64_t AirfieldIndex::Cell(int latCell, int lonCell) {
    const int wrapped = ((lonCell % 360) + 360) % 360;
    return static_cast<std::int64_t>(latCell) * 1000 + wrapped;
}

AirfieldIndex::AirfieldIndex(std::vector<Airfield> fields) : m_fields(std::move(fields)) {
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        const Airfield& field = m_fields[i];
        if (!std::isfinite(field.latitude) || !std::isfinite(field.longitude) ||
            std::abs(field.latitude) > 90 || std::abs(field.longitude) > 360)
            continue;  // a damaged record is no field
        m_cells[Cell(CellOf(field.latitude), CellOf(field.longitude))].push_back(
            static_cast<std::uint32_t>(i));
    }
}

std::optional<std::int32_t> AirfieldIndex::NearestElevation(double latitude,
                                                            double longitude) const {
    if (m_cells.empty() || !std::isfinite(latitude) || !std::isfinite(longitude))
        return std::nullopt;
    // Whole-degree cells round the position: a degree of latitude is 60 nm, so one cell each
    // way north and south; east and west as many as the latitude's narrowing asks.
    const int latCell = CellOf(latitude);
    const double narrowing =
        std::max(std::cos(std::min(std::abs(latitude) + 1, 89.0) * kRadians), 1.0 / 180);
    const int lonReach = std::min(180, static_cast<int>(std::ceil(1 / narrowing)));
    const int lonCell = CellOf(longitude);
    std::optional<std::int32_t> found;
    double best = kSearchNm;
    for (int dLat = -1; dLat <= 1; ++dLat) {
        for (int dLon = -lonReach; dLon <= lonReach; ++dLon) {
            auto cell = m_cells.find(Cell(latCell + dLat, lonCell + dLon));
            if (cell == m_cells.end())
                continue;
            for (std::uint32_t i : cell->second) {
                const Airfield& field = m_fields[i];
                const double nm = ArcNm(latitude, longitude, field.latitude, field.longitude);
                if (nm <= best) {
                    best = nm;
                    found = field.elevation;
                }
            }
        }
    }
    return found;
}

}  // namespace model
