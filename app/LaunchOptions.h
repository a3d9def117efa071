#ifndef LAUNCHOPTIONS_H
#define LAUNCHOPTIONS_H

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

#include "device/DeviceParams.h"

// What the command line asked of this run. Every field left unset keeps the behaviour
// of a start without options; nothing here is ever written back to the configuration.
struct LaunchOptions
{
    // Connect only this device in the main window; empty: the usual automatic choice.
    QString serial;
    // Further devices to mirror, each in a window of its own.
    QStringList otherSerials;
    // Start with group control on.
    bool groupControl = false;
    // Absolute path of the recording; empty: no recording.
    QString recordFile;
    // Container of the recording, "mp4" or "mkv", taken from the file's suffix.
    QString recordFormat;
    bool noDisplay = false;
    // Resolved keymap file and its text; the text becomes the connection's script.
    QString keymapFile;
    QString keymapText;
    std::optional<quint16> maxSize;
    std::optional<quint32> bitRate;
    std::optional<quint32> maxFps;
    std::optional<qint32> lockOrientation;
    bool forward = false;
    std::optional<quint16> port;
    bool stayAwake = false;
    bool turnScreenOff = false;
    bool showTouches = false;
    bool fullscreen = false;
    std::optional<QString> windowTitle;
    // "auto", "server" or "shell"; empty: the configured choice.
    QString connection;
    // "W:H:X:Y" of the device's screen; empty: the whole screen.
    QString crop;
    std::optional<quint32> displayId;
    // View only: no control connection and no input of any kind.
    bool noControl = false;
    bool alwaysOnTop = false;
    bool windowBorderless = false;
    std::optional<int> windowX;
    std::optional<int> windowY;
    std::optional<int> windowWidth;
    std::optional<int> windowHeight;
    bool powerOffOnClose = false;
    // Mirror over Wi-Fi: the attached USB device switched to it, or the address given ("IP:PORT").
    bool tcpip = false;
    QString tcpipAddress;
    // Seconds after which the recording ends; unset: it runs until the connection ends.
    std::optional<quint32> timeLimit;
    // Device folder, ending in "/", for dropped files other than APKs; empty: the configured one.
    QString pushTarget;

    // The options for a window beyond the main one: full screen, place and size stay the main window's.
    LaunchOptions forOtherWindow() const;
    // Overrides the fields of a connection's parameters that the command line names.
    void applyTo(dvk::DeviceParams& params) const;
    // The window title's leading text: the given one, else the configured title.
    QString titleOr(const QString& configuredTitle) const;

    // The options of this process, set once by start-up before any window or device exists.
    static const LaunchOptions& current();
    static void setCurrent(const LaunchOptions& options);
};

#endif // LAUNCHOPTIONS_H
