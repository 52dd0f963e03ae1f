// A received chat line.
#include <cstddef>
#include <cstdint>

#include "link/link.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = mplink::ChatText(mplink::Bytes(data, data + size));
    if (size >= 8 && text.size() > size - 8)
        __builtin_trap();
    return 0;
}
