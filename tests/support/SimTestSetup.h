#ifndef SIMTESTSETUP_H
#define SIMTESTSETUP_H

#include <QTemporaryDir>

#include <memory>

#include "AppPath.h"
#include "LogCapture.h"
#include "SimDevice.h"
#include "adb/AdbProcess.h"
#include "server/Stream.h"

// What a test of simulated devices sets up once, from initTestCase: a data folder of its own (for
// recordings and screenshots), the adb stand-in, the stream library, and a capture of the log
// that keeps the bring-up's chatty debug lines out of the output.
class SimTestSetup
{
public:
    // False when the data folder could not be made.
    bool prepare()
    {
        if (!dataDir.isValid()) {
            return false;
        }
        setAppPath(dataDir.path());
        dvk::AdbProcess::setAdbPath(SimDevice::adbPath());
        dvk::Stream::init();
        log = std::make_unique<LogCapture>(LogCapture::Echo::SkipDebug);
        return true;
    }

    QTemporaryDir dataDir;
    std::unique_ptr<LogCapture> log;
};

#endif // SIMTESTSETUP_H
