#ifndef CONNECTIONPARAMS_H
#define CONNECTIONPARAMS_H

#include <QString>

#include "device/DeviceParams.h"

struct LaunchOptions;

// The parameters of a new connection: the record's defaults, what config.ini sets, then
// whatever the command line overrides.
dvk::DeviceParams connectionParams(const QString& serial, const QString& serverLocalPath, const LaunchOptions& options);

#endif // CONNECTIONPARAMS_H
