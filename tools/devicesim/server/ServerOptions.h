#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

namespace sim {

// The server's launch arguments: the version, then key=value pairs.
// A value of the argument's type that the simulated device cannot use is
// replaced by what it does instead and noted in `unusable`; only text that is
// not of the type (or an unknown key) refuses the launch.
struct ServerOptions
{
    // The simulated screen refreshes at most this often.
    static constexpr int kMaxFrameRate = 120;
    static constexpr int kDefaultFrameRate = 60;
    // The simulated encoder's range of bit rates.
    static constexpr quint32 kDefaultBitRate = 8000000;
    static constexpr quint32 kMaxBitRate = 200000000;

    QString version;
    QString logLevel = "info";
    int maxSize = 0;
    quint32 bitRate = kDefaultBitRate;
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
    // One line per argument that was accepted but not used as given.
    QStringList unusable;

    static bool parse(const QStringList& args, ServerOptions& options, QString* error);
    static const QStringList& logLevels();

    // The frame rate streamed: max_fps, or the screen's rate when it is 0.
    int frameRate() const { return maxFps > 0 ? maxFps : kDefaultFrameRate; }
};

// The encoded picture size: the (cropped, possibly rotated) screen scaled so
// that its longer side fits the smaller of max_size and the device's own limit,
// with even sides as the encoder needs.
QSize computeFrameSize(const QSize& screen, const ServerOptions& options, int deviceSizeLimit);

} // namespace sim
