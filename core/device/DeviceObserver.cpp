#include "device/DeviceObserver.h"

namespace dvk {

DeviceObserver::~DeviceObserver() = default;

} // namespace dvk
