#include "LaunchOptions.h"

namespace {

LaunchOptions& currentOptions()
{
    static LaunchOptions s_options;
    return s_options;
}

// What is shown of the device, whether it is driven, and for how long it is recorded.
void applyPictureOptions(const LaunchOptions& options, dvk::DeviceParams& params)
{
    if (!options.crop.isEmpty()) {
        params.crop = options.crop;
    }
    if (options.displayId) {
        params.displayId = *options.displayId;
    }
    if (options.noControl) {
        params.control = false;
    }
    if (options.timeLimit) {
        params.recordTimeLimit = *options.timeLimit;
    }
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
    applyPictureOptions(*this, params);
}

LaunchOptions LaunchOptions::forOtherWindow() const
{
    LaunchOptions other = *this;
    other.fullscreen = false;
    other.windowX.reset();
    other.windowY.reset();
    other.windowWidth.reset();
    other.windowHeight.reset();
    return other;
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
