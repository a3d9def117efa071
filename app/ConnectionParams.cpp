#include "ConnectionParams.h"

#include "Config.h"
#include "LaunchOptions.h"

// Only what config.ini and the command line decide is set here; everything else keeps the
// record's own default.
dvk::DeviceParams connectionParams(const QString& serial, const QString& serverLocalPath, const LaunchOptions& options)
{
    Config* config = Config::getInstance();
    dvk::DeviceParams params;
    params.serial = serial;
    params.serverLocalPath = serverLocalPath;
    params.serverRemotePath = config->getServerPath();
    params.maxFps = quint32(config->getMaxFps());
    params.serverVersion = config->getServerVersion();
    params.logLevel = config->getLogLevel();
    params.codecOptions = config->getCodecOptions();
    params.codecName = config->getCodecName();
    params.pushFilePath = config->getPushFilePath();
    params.connection = config->getConnection();
    options.applyTo(params);
    return params;
}
