// magdec.bgl: the grid offset from the header, then the variation grid.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "builder/bgl_reader.h"
#include "builder/magvar_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const builder::FileBuffer buffer({data, size});
    if (buffer.Size() < 114)
        return 0;
    const std::int32_t gridOffset = buffer.ReadInt32(110);
    if (gridOffset <= 0)
        return 0;
    auto table = std::make_unique<builder::MagvarTable>();
    builder::FillMagvarTable(buffer, gridOffset, *table);
    return 0;
}
