#include "ServerOptions.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <limits>

namespace sim {

namespace {

bool parseBool(const QString& value, bool& out)
{
    if (value != "true" && value != "false") {
        return false;
    }
    out = value == "true";
    return true;
}

// Decimal text that fits the field's width, as the application writes it.
bool parseSigned(const QString& value, qint64 min, qint64 max, qint64& out)
{
    bool ok = false;
    out = value.toLongLong(&ok, 10);
    return ok && out >= min && out <= max;
}

bool parseUnsigned(const QString& value, quint64 max, quint64& out)
{
    bool ok = false;
    out = value.toULongLong(&ok, 10);
    return ok && !value.trimmed().startsWith('-') && out <= max;
}

void note(ServerOptions& o, const QString& key, const QString& value, const QString& instead)
{
    o.unusable.append(QString("%1=%2 cannot be used; %3").arg(key, value, instead));
}

bool parseMaxSize(const QString& v, ServerOptions& o)
{
    quint64 size = 0;
    if (!parseUnsigned(v, std::numeric_limits<quint16>::max(), size)) {
        return false;
    }
    o.maxSize = static_cast<int>(size);
    return true;
}

bool parseBitRate(const QString& v, ServerOptions& o)
{
    quint64 rate = 0;
    if (!parseUnsigned(v, std::numeric_limits<quint32>::max(), rate)) {
        return false;
    }
    o.bitRate = static_cast<quint32>(rate);
    if (rate == 0) {
        o.bitRate = ServerOptions::kDefaultBitRate;
        note(o, "bit_rate", v, QString("using %1").arg(o.bitRate));
    } else if (rate > ServerOptions::kMaxBitRate) {
        o.bitRate = ServerOptions::kMaxBitRate;
        note(o, "bit_rate", v, QString("the encoder's highest rate %1 is used").arg(o.bitRate));
    }
    return true;
}

bool parseMaxFps(const QString& v, ServerOptions& o)
{
    quint64 fps = 0;
    if (!parseUnsigned(v, std::numeric_limits<quint32>::max(), fps)) {
        return false;
    }
    o.maxFps = static_cast<int>(std::min<quint64>(fps, ServerOptions::kMaxFrameRate));
    if (fps > ServerOptions::kMaxFrameRate) {
        note(o, "max_fps", v, QString("the screen refreshes %1 times a second").arg(ServerOptions::kMaxFrameRate));
    }
    return true;
}

bool parseOrientation(const QString& v, ServerOptions& o)
{
    qint64 lock = 0;
    if (!parseSigned(v, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), lock)) {
        return false;
    }
    o.lockVideoOrientation = static_cast<int>(lock);
    if (lock < -2 || lock > 3) {
        o.lockVideoOrientation = -1;
        note(o, "lock_video_orientation", v, "the orientation stays unlocked");
    }
    return true;
}

bool parseDisplayId(const QString& v, ServerOptions& o)
{
    qint64 id = 0;
    if (!parseSigned(v, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), id)) {
        return false;
    }
    if (id != 0) {
        note(o, "display_id", v, "the device has only display 0");
    }
    return true;
}

bool parseLogLevel(const QString& v, ServerOptions& o)
{
    o.logLevel = ServerOptions::logLevels().contains(v) ? v : QString("info");
    if (o.logLevel != v) {
        note(o, "log_level", v, "logging at info");
    }
    return true;
}

bool parseCrop(const QString& v, ServerOptions& o)
{
    static const QRegularExpression pattern("^(\\d+):(\\d+):(\\d+):(\\d+)$");
    o.crop = QRect();
    if (v.isEmpty()) {
        return true;
    }
    const QRegularExpressionMatch m = pattern.match(v);
    if (m.hasMatch()) {
        o.crop = QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    }
    if (!o.crop.isValid()) {
        o.crop = QRect();
        note(o, "crop", v, "the whole screen is captured");
    }
    return true;
}

using Handler = std::function<bool(const QString&, ServerOptions&)>;

Handler flag(bool ServerOptions::*field)
{
    return [field](const QString& v, ServerOptions& o) { return parseBool(v, o.*field); };
}

Handler text(QString ServerOptions::*field)
{
    return [field](const QString& v, ServerOptions& o) {
        o.*field = v;
        return true;
    };
}

const QHash<QString, Handler>& handlers()
{
    static const QHash<QString, Handler> table{
        {"log_level", parseLogLevel},
        {"max_size", parseMaxSize},
        {"bit_rate", parseBitRate},
        {"max_fps", parseMaxFps},
        {"lock_video_orientation", parseOrientation},
        {"tunnel_forward", flag(&ServerOptions::tunnelForward)},
        {"crop", parseCrop},
        {"control", flag(&ServerOptions::control)},
        {"display_id", parseDisplayId},
        {"show_touches", flag(&ServerOptions::showTouches)},
        {"stay_awake", flag(&ServerOptions::stayAwake)},
        {"codec_options", text(&ServerOptions::codecOptions)},
        {"encoder_name", text(&ServerOptions::encoderName)},
    };
    return table;
}

int even(int value)
{
    return std::max(16, value & ~1);
}

} // namespace

const QStringList& ServerOptions::logLevels()
{
    static const QStringList levels{"verbose", "debug", "info", "warn", "error"};
    return levels;
}

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
        const auto handler = handlers().constFind(key);
        if (handler == handlers().constEnd()) {
            *error = QString("Unknown server option: %1").arg(key);
            return false;
        }
        if (!(*handler)(value, options)) {
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
