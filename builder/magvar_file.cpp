#include "builder/magvar_file.h"

namespace builder {

void FillMagvarTable(const FileBuffer& buffer, std::int64_t gridOffset, MagvarTable& table) {
    try {
        // In the grid's own order (latitude within longitude), so that a grid cut short
        // fills every entry it holds.
        for (int longitude = 0; longitude <= 359; ++longitude) {
            for (int latitude = -90; latitude <= 90; ++latitude) {
                const int index = (latitude + 90) + 181 * longitude;
                table[static_cast<std::size_t>(index)] =
                    buffer.ReadInt16(gridOffset + 8 + 2 * static_cast<std::int64_t>(index));
            }
        }
    } catch (const OutOfBuffer&) {
        // A grid cut short fills what it holds.
    }
}

bool ReadMagvars(const platform::FileSystem& files, std::string_view path, MagvarTable& table) {
    auto bytes = files.ReadAll(path);
    if (!bytes) {
        return false;
    }
    const FileBuffer buffer(std::move(*bytes));
    try {
        const std::int32_t gridOffset = buffer.ReadInt32(110);
        if (gridOffset > 0) {
            FillMagvarTable(buffer, gridOffset, table);
        }
    } catch (const OutOfBuffer&) {
        // Too short to hold the grid offset: nothing to fill.
    }
    return true;
}

}  // namespace builder
