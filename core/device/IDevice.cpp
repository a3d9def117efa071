#include "device/IDevice.h"

namespace dvk {

IDevice::IDevice(QObject* parent) : QObject(parent) {}

IDevice::~IDevice() = default;

} // namespace dvk
