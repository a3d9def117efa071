#include "LaunchOptions.h"

namespace {

LaunchOptions& currentOptions()
{
    static LaunchOptions s_options;
    return s_options;
}

} // namespace

void LaunchOptions::applyTo(dvk::DeviceParams& params) const
{
    if (maxSize) {
        params.maxSize = *maxSize;
    }
    if (!connection.isEmpty()) {
        params.connection = connection;
    }
    if (bitRate) {
        params.bitRate = *bitRate;
    }
    if (maxFps) {
        params.maxFps = *maxFps;
    }
    if (lockOrientation) {
        params.lockVideoOrientation = *lockOrientation;
    }
    if (port) {
        params.localPort = *port;
    }
    if (forward) {
        params.useReverse = false;
    }
    if (stayAwake) {
        params.stayAwake = true;
    }
    if (turnScreenOff) {
        params.closeScreen = true;
    }
    if (!keymapText.isEmpty()) {
        params.gameScript = keymapText;
    }
    if (!recordFile.isEmpty()) {
        params.recordFile = true;
        params.recordFileName = recordFile;
        params.recordFileFormat = recordFormat;
    }
    if (noDisplay) {
        params.display = false;
    }
}

QString LaunchOptions::titleOr(const QString& configuredTitle) const
{
    return windowTitle ? *windowTitle : configuredTitle;
}

const LaunchOptions& LaunchOptions::current()
{
    return currentOptions();
}

void LaunchOptions::setCurrent(const LaunchOptions& options)
{
    currentOptions() = options;
}
