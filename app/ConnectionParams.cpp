#include "ConnectionParams.h"

#include "Config.h"
#include "LaunchOptions.h"
#include "LocalPorts.h"

// Only what config.ini and the command line decide is set here; everything else keeps the
// record's own default. The local port is the first free one from the configured port on.
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
    // Each device its own port, starting from the configured one.
    LocalPorts& ports = LocalPorts::instance();
    params.localPort = ports.take(serial, params.localPort);
    // One file takes one stream: a device that comes while another is mirrored records nothing.
    if (params.recordFile && ports.heldByOthers(serial)) {
        qInfo("%s", qUtf8Printable(QStringLiteral("%1 is not recorded: %2 records the first device")
                                       .arg(serial, params.recordFileName)));
        params.recordFile = false;
        params.recordFileName.clear();
        params.recordTimeLimit = 0;
    }
    return params;
}
