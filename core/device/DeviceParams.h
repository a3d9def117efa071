#ifndef DEVICEPARAMS_H
#define DEVICEPARAMS_H

#include <QString>
#include <QtGlobal>

#include "ConnectionDefaults.h"

namespace dvk {

// Everything one connection needs, filled by the caller and copied into the device; the
// server bring-up reads its connection fields from the same record. Each default is written
// here or in ConnectionDefaults.h only.
struct DeviceParams
{
    QString serial = "";
    QString serverLocalPath = "";
    QString serverRemotePath = defaults::kServerRemotePath;
    quint16 localPort = defaults::kLocalPort;
    // 0: the device's own size.
    quint16 maxSize = 0;
    quint32 bitRate = defaults::kBitRate;
    quint32 maxFps = defaults::kMaxFps;
    bool useReverse = defaults::kUseReverse;
    qint32 lockVideoOrientation = defaults::kLockVideoOrientation;
    bool stayAwake = false;
    QString serverVersion = defaults::serverVersion();
    QString logLevel = defaults::kLogLevel;
    QString codecOptions = "";
    QString codecName = "";
    // Folder for recordings and screenshots, relative to the data directory.
    QString recordPath = "./snapshot/";
    QString recordFileFormat = "mp4";
    bool recordFile = false;
    // When set, the recording goes to exactly this file (its container from recordFileFormat)
    // instead of a time-stamped name in recordPath.
    QString recordFileName = "";
    // Device folder named in the transfer-complete message.
    QString pushFilePath = defaults::kPushFilePath;
    bool closeScreen = false;
    // Decode, show and accept input; false only makes sense together with recordFile.
    bool display = true;
    QString connection = defaults::kConnectionAuto;
    // "W:H:X:Y": only this part of the screen is sent; empty: the whole screen. Server connection only.
    QString crop = "";
    // The display to mirror. Server connection only.
    quint32 displayId = 0;
    // False: view only, no control connection and no input.
    bool control = true;
    // Seconds after which the recording ends (without display, the connection too); 0: no limit.
    quint32 recordTimeLimit = 0;
    // Keymap text for the controller; empty means normal input.
    QString gameScript = "";
};

} // namespace dvk

#endif // DEVICEPARAMS_H
