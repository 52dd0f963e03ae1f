#include "tools/simhost/mp_messages.h"
#include "link/link.h"

#include "directplay/wire.h"

#include <cmath>

namespace simhost {
namespace {

constexpr double kMetresPerMeridian = 40007000.0;
constexpr double kTurn = 4294967296.0;

void Put32(Bytes& b, std::int32_t v) {
    for (unsigned i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
}
void Put16(Bytes& b, std::int16_t v) {
    for (unsigned i = 0; i < 2; ++i)
        b.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> (8 * i)));
}
void PutStamp(Bytes& b, std::uint64_t stamp, std::int32_t sequence) {
    Put32(b, static_cast<std::int32_t>(static_cast<std::uint32_t>(stamp)));
    Put32(b, static_cast<std::int32_t>(static_cast<std::uint32_t>(stamp >> 32)));
    Put32(b, sequence);
}
void PutFix(Bytes& b, const AircraftState& s) {
    Put32(b, AttitudeWord(s.trueHeading));
    Put32(b, LatitudeWord(s.latitude));
    Put32(b, LongitudeWord(s.longitude));
    Put32(b, AltitudeWord(s.altitudeFeet));
}

}  // namespace

std::int32_t LatitudeWord(double latitude) {
    return static_cast<std::int32_t>(std::lround(latitude * kMetresPerMeridian / 360.0));
}

std::int32_t LongitudeWord(double longitude) {
    double turns = std::fmod(longitude / 360.0, 1.0);
    if (turns >= 0.5)
        turns -= 1.0;
    if (turns < -0.5)
        turns += 1.0;
    const auto raw = static_cast<std::int64_t>(std::llround(turns * kTurn));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(raw));
}

std::int32_t AltitudeWord(double feet) {
    return static_cast<std::int32_t>(std::lround(feet * 0.3048));
}

std::int32_t AttitudeWord(double trueHeading) {
    const long q = std::lround(trueHeading / 360.0 * 1024.0) & 1023;
    return static_cast<std::int32_t>(q * 4);
}

Bytes EncodePosition(const AircraftState& state, std::uint64_t stampMicros, std::int32_t sequence) {
    Bytes b;
    Put32(b, mplink::MP_POSITION);
    Put32(b, 34);
    PutStamp(b, stampMicros, sequence);
    PutFix(b, state);
    for (int i = 0; i < 3; ++i)
        Put16(b, 0);
    return b;
}

Bytes EncodePositionLong(const AircraftState& state, std::uint64_t stampMicros,
                         std::int32_t sequence) {
    Bytes b;
    Put32(b, mplink::MP_POSITION_LONG);
    Put32(b, 50);
    PutStamp(b, stampMicros, sequence);
    for (int i = 0; i < 4; ++i)
        Put32(b, 0);
    PutFix(b, state);
    for (int i = 0; i < 3; ++i)
        Put16(b, 0);
    return b;
}

Bytes EncodeAircraftInfo(std::int16_t category, std::string_view model) {
    Bytes b;
    Put32(b, mplink::MP_AIRCRAFT_INFO);
    Put32(b, static_cast<std::int32_t>(2 + model.size() + 1));
    Put16(b, category);
    b.insert(b.end(), model.begin(), model.end());
    b.push_back(0);
    return b;
}

Bytes EncodeChat(std::string_view text) {
    Bytes b;
    Put32(b, mplink::MP_CHAT);
    Put32(b, static_cast<std::int32_t>(text.size() + 1));
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
    return b;
}

bool ReadHeader(const Bytes& message, std::int32_t& type, std::int32_t& size) {
    if (message.size() < 8)
        return false;
    type = ReadInt32(message, 0);
    size = ReadInt32(message, 4);
    return true;
}

std::int32_t ReadInt32(const Bytes& m, std::size_t offset) {
    if (offset + 4 > m.size())
        return 0;
    return static_cast<std::int32_t>(directplay::wire::LoadU32(m.data() + offset));
}

}  // namespace simhost
