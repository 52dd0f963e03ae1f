#pragma once

// magdec.bgl: at offset 110 the offset T of the variation grid; at T + 8, for longitude 0..359
// in turn, 181 signed 16-bit values for latitude -90..90, in units of 360/65536 degree.

#include <array>
#include <cstdint>
#include <string_view>

#include "builder/bgl_reader.h"
#include "model/shared_state.h"
#include "platform/file_system.h"

namespace builder {

using MagvarTable = std::array<std::int16_t, model::kMagvarEntries>;

// Replaces the grid entries from the table at T; entries not reached stay as they were when
// the file is cut short. A T of 0 or less leaves the table unchanged.
void FillMagvarTable(const FileBuffer& buffer, std::int64_t gridOffset, MagvarTable& table);

// Reads magdec.bgl whole and fills the table from its grid. False when the file cannot be
// read; the table is then unchanged.
bool ReadMagvars(const platform::FileSystem& files, std::string_view path, MagvarTable& table);

}  // namespace builder
