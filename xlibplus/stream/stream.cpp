#include "xlibplus/stream/stream.h"

#include <cstring>

namespace xlibplus {

bool hostIsLittleEndian() {
    const std::uint32_t one = 1;
    std::uint8_t first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

} // namespace xlibplus
