#include "xlibplus/memory/fixed_memory_pool.h"

namespace xlibplus::memory {

const char kPoolFatalError[13] = "FATAL ERROR!";

} // namespace xlibplus::memory
