#ifndef CONNECTIONDEFAULTS_H
#define CONNECTIONDEFAULTS_H

#include <QtGlobal>

namespace dvk {

// The defaults that the connection record (DeviceParams) and the configuration store share:
// each one is written here only.
namespace defaults {

constexpr char kServerRemotePath[] = "/data/local/tmp/dravik-server.jar";
// Set by the build (VADIZEDE_SERVER_VERSION), which gives the simulated server the same one.
const char* serverVersion();
constexpr char kLogLevel[] = "info";
constexpr char kPushFilePath[] = "/sdcard/";
// Where files dropped on the picture that are not APKs go.
constexpr char kPushTarget[] = "/sdcard/Download/";
constexpr quint16 kLocalPort = 27183;
constexpr quint32 kBitRate = 8000000;
constexpr quint32 kMaxFps = 30;
// -1: the video follows the device's orientation.
constexpr qint32 kLockVideoOrientation = -1;
constexpr bool kUseReverse = true;
// The port a device listens on for adb once switched to wireless.
constexpr quint16 kWirelessPort = 5555;
// How a device is reached: "server" (ours, pushed to it), "shell" (its own screen recorder and
// input command) or "auto" (the server, else the shell).
constexpr char kConnectionAuto[] = "auto";
constexpr char kConnectionServer[] = "server";
constexpr char kConnectionShell[] = "shell";

} // namespace defaults

} // namespace dvk

#endif // CONNECTIONDEFAULTS_H
