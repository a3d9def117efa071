#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

namespace sim {

// The server's launch arguments: the version, then key=value pairs.
struct ServerOptions
{
    QString version;
    QString logLevel = "info";
    int maxSize = 0;
    quint32 bitRate = 8000000;
    int maxFps = 0;
    int lockVideoOrientation = -1;
    bool tunnelForward = false;
    QRect crop;
    bool control = true;
    int displayId = 0;
    bool showTouches = false;
    bool stayAwake = false;
    QString codecOptions;
    QString encoderName;

    static bool parse(const QStringList& args, ServerOptions& options, QString* error);
};

// The encoded picture size: the (cropped, possibly rotated) screen scaled so
// that its longer side fits the smaller of max_size and the device's own limit,
// with even sides as the encoder needs.
QSize computeFrameSize(const QSize& screen, const ServerOptions& options, int deviceSizeLimit);

} // namespace sim
