#include "qub/driver.h"

namespace qub {

// Windows has one driver, for windows and off-screen targets alike.
std::unique_ptr<Driver> createDriver(bool) { return createPlatformDriver(); }

} // namespace qub
