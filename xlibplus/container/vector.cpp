#include "xlibplus/container/vector.h"

namespace xlibplus {

const char kVectorAllocationFailure[1] = "";

} // namespace xlibplus
