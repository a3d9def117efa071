#include "ConnectionParams.h"

#include "Config.h"
#include "ConnectionDefaults.h"
#include "LaunchOptions.h"

dvk::DeviceParams connectionParams(const QString& serial, const QString& serverLocalPath, const LaunchOptions& options)
{
    Config* config = Config::getInstance();
    dvk::DeviceParams params;
    params.serial = serial;
    params.serverLocalPath = serverLocalPath;
    params.serverRemotePath = config->getServerPath();
    params.localPort = dvk::defaults::kLocalPort;
    params.maxSize = 0;
    params.bitRate = dvk::defaults::kBitRate;
    params.maxFps = quint32(config->getMaxFps());
    params.useReverse = dvk::defaults::kUseReverse;
    params.lockVideoOrientation = dvk::defaults::kLockVideoOrientation;
    params.stayAwake = false;
    params.serverVersion = config->getServerVersion();
    params.logLevel = config->getLogLevel();
    params.codecOptions = config->getCodecOptions();
    params.codecName = config->getCodecName();
    params.recordPath = "./snapshot/";
    params.recordFileFormat = "mp4";
    params.recordFile = false;
    params.pushFilePath = config->getPushFilePath();
    params.closeScreen = false;
    params.display = true;
    params.renderExpiredFrames = config->getRenderExpiredFrames() != 0;
    params.gameScript = "";
    params.connection = config->getConnection();
    options.applyTo(params);
    return params;
}
