#ifndef SIMDEVICEPARAMS_H
#define SIMDEVICEPARAMS_H

#include <QString>

#include "SimDevice.h"
#include "device/DeviceParams.h"

// Parameters that reach the simulated device through the adb stand-in, on a port of their own.
inline dvk::DeviceParams simParams(const QString& serial)
{
    dvk::DeviceParams params;
    params.serial = serial;
    params.serverLocalPath = SimDevice::serverFilePath();
    params.serverVersion = SimDevice::serverVersion();
    params.localPort = SimDevice::freePort();
    params.maxFps = 30;
    return params;
}

#endif // SIMDEVICEPARAMS_H
