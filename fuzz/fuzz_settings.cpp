// The settings file as the start-up check reads it.
#include <cstddef>
#include <cstdint>

#include "model/settings_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)model::DecodeSettings({data, size});
    return 0;
}
