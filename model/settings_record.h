#pragma once

// atc_settings.tcs: one SettingsRecord from the first byte, little-endian, no padding:
//   u16 L1, version (L1 bytes), u8 recordFlag, u8 simKind, u16 L2, simPath (L2 bytes),
//   i32 airportCount, i32 airspaceFileCount            -> 14 + L1 + L2 bytes in all.

#include <cstdint>
#include <span>
#include <vector>

#include "model/records.h"

namespace model {

inline constexpr const char* kSettingsVersion = "Tarvolo Version 1.1";

std::vector<std::uint8_t> EncodeSettings(const SettingsRecord& settings);

// Reads as far as the bytes go: a field that is cut short, and every field after it, keeps
// its empty or zero value. Never fails.
SettingsRecord DecodeSettings(std::span<const std::uint8_t> bytes);

}  // namespace model
