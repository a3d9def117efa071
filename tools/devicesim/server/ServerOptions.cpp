#include "ServerOptions.h"

#include <QRegularExpression>

#include <algorithm>

namespace sim {

namespace {

bool parseBool(const QString& value, bool& out)
{
    if (value == "true") {
        out = true;
        return true;
    }
    if (value == "false") {
        out = false;
        return true;
    }
    return false;
}

bool parseInt(const QString& value, int& out, int min, int max)
{
    bool ok = false;
    const qlonglong parsed = value.toLongLong(&ok);
    if (!ok || parsed < min || parsed > max) {
        return false;
    }
    out = static_cast<int>(parsed);
    return true;
}

int even(int value)
{
    return std::max(16, value & ~1);
}

} // namespace

bool ServerOptions::parse(const QStringList& args, ServerOptions& options, QString* error)
{
    if (args.isEmpty()) {
        *error = "Missing client version";
        return false;
    }
    options.version = args.first();
    for (const QString& arg : args.mid(1)) {
        const int eq = arg.indexOf('=');
        if (eq <= 0) {
            *error = QString("Invalid key=value pair: \"%1\"").arg(arg);
            return false;
        }
        const QString key = arg.left(eq);
        const QString value = arg.mid(eq + 1);
        bool ok = true;
        if (key == "log_level") {
            ok = QStringList{"verbose", "debug", "info", "warn", "error"}.contains(value);
            options.logLevel = value;
        } else if (key == "max_size") {
            ok = parseInt(value, options.maxSize, 0, 65535);
        } else if (key == "bit_rate") {
            int rate = 0;
            ok = parseInt(value, rate, 1, 0x7FFFFFFF);
            options.bitRate = static_cast<quint32>(rate);
        } else if (key == "max_fps") {
            ok = parseInt(value, options.maxFps, 0, 1000);
        } else if (key == "lock_video_orientation") {
            ok = parseInt(value, options.lockVideoOrientation, -2, 3);
        } else if (key == "tunnel_forward") {
            ok = parseBool(value, options.tunnelForward);
        } else if (key == "crop") {
            static const QRegularExpression pattern("^(\\d+):(\\d+):(\\d+):(\\d+)$");
            const QRegularExpressionMatch match = pattern.match(value);
            ok = value.isEmpty() || match.hasMatch();
            if (match.hasMatch()) {
                options.crop = QRect(match.captured(3).toInt(), match.captured(4).toInt(), match.captured(1).toInt(),
                                     match.captured(2).toInt());
                ok = options.crop.width() > 0 && options.crop.height() > 0;
            }
        } else if (key == "control") {
            ok = parseBool(value, options.control);
        } else if (key == "display_id") {
            ok = parseInt(value, options.displayId, 0, 0x7FFFFFFF);
        } else if (key == "show_touches") {
            ok = parseBool(value, options.showTouches);
        } else if (key == "stay_awake") {
            ok = parseBool(value, options.stayAwake);
        } else if (key == "codec_options") {
            options.codecOptions = value;
        } else if (key == "encoder_name") {
            options.encoderName = value;
        } else {
            *error = QString("Unknown server option: %1").arg(key);
            return false;
        }
        if (!ok) {
            *error = QString("Invalid value for %1: \"%2\"").arg(key, value);
            return false;
        }
    }
    return true;
}

QSize computeFrameSize(const QSize& screen, const ServerOptions& options, int deviceSizeLimit)
{
    QSize size = options.crop.isValid() ? options.crop.size() : screen;
    if (options.lockVideoOrientation == 1 || options.lockVideoOrientation == 3) {
        size.transpose();
    }
    int limit = options.maxSize;
    if (deviceSizeLimit > 0 && (limit == 0 || deviceSizeLimit < limit)) {
        limit = deviceSizeLimit;
    }
    const bool portrait = size.height() > size.width();
    const int major = portrait ? size.height() : size.width();
    const int minor = portrait ? size.width() : size.height();
    if (limit <= 0 || major <= limit) {
        return QSize(even(size.width()), even(size.height()));
    }
    const int scaledMajor = even(limit);
    const int scaledMinor = even(static_cast<int>((static_cast<qint64>(minor) * scaledMajor + major / 2) / major));
    return portrait ? QSize(scaledMinor, scaledMajor) : QSize(scaledMajor, scaledMinor);
}

} // namespace sim
