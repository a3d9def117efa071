#include "device/IDeviceManage.h"

#include "device/DeviceManage.h"

namespace dvk {

IDeviceManage::IDeviceManage(QObject* parent) : QObject(parent) {}

IDeviceManage::~IDeviceManage() = default;

IDeviceManage& IDeviceManage::getInstance()
{
    static DeviceManage dm;
    return dm;
}

} // namespace dvk
