#include "RecordOptions.h"

#include "DeviceDisplay.h"

#include <QRegularExpression>

namespace sim {

namespace {

constexpr quint32 kMinBitRate = 100000;
constexpr quint32 kMaxBitRate = 200000000;

// "4000000", "4M" or "4000K", as the recorder reads a bit rate.
bool readBitRate(const QString& text, quint32& rate)
{
    static const QRegularExpression form("^(\\d+)([KkMm]?)$");
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        return false;
    }
    bool ok = false;
    quint64 value = match.captured(1).toULongLong(&ok);
    const QString unit = match.captured(2).toUpper();
    value *= unit == "M" ? 1000000 : unit == "K" ? 1000 : 1;
    if (!ok || value > 0xFFFFFFFFu) {
        return false;
    }
    rate = static_cast<quint32>(value);
    return true;
}

bool apply(const QString& name, const QString& value, RecordOptions& options, QString* error)
{
    if (name == "--size") {
        options.size = DeviceDisplay::readSize(value);
        if (!options.size.isValid()) {
            *error = QString("Invalid size '%1', must be width x height").arg(value);
            return false;
        }
    } else if (name == "--bit-rate") {
        if (!readBitRate(value, options.bitRate) || options.bitRate < kMinBitRate || options.bitRate > kMaxBitRate) {
            *error = QString("Bit rate %1bps outside acceptable range [%2,%3]").arg(value).arg(kMinBitRate).arg(kMaxBitRate);
            return false;
        }
    } else if (name == "--time-limit") {
        bool ok = false;
        options.timeLimit = value.toInt(&ok);
        if (!ok || options.timeLimit < 1 || options.timeLimit > RecordOptions::kMaxTimeLimit) {
            *error = QString("Time limit %1s outside acceptable range [1,%2]").arg(value).arg(RecordOptions::kMaxTimeLimit);
            return false;
        }
    } else if (name == "--output-format") {
        if (value != "h264") {
            *error = QString("Unknown format '%1'").arg(value);
            return false;
        }
    }
    return true;
}

} // namespace

bool RecordOptions::parse(const QStringList& args, RecordOptions& options, QString* error)
{
    static const QStringList valued{"--size", "--bit-rate", "--time-limit", "--output-format"};
    QStringList files;
    for (int i = 0; i < args.size(); ++i) {
        const QString arg = args.at(i);
        if (arg == "-" || !arg.startsWith('-')) {
            files.append(arg);
            continue;
        }
        if (arg == "--verbose") {
            continue;
        }
        const QString name = arg.section('=', 0, 0);
        if (!valued.contains(name)) {
            *error = QString("screenrecord: unrecognized option '%1'").arg(arg);
            return false;
        }
        QString value;
        if (arg.contains('=')) {
            value = arg.section('=', 1);
        } else if (i + 1 < args.size()) {
            value = args.at(++i);
        } else {
            *error = QString("screenrecord: option '%1' requires an argument").arg(arg);
            return false;
        }
        if (!apply(name, value, options, error)) {
            return false;
        }
    }
    if (files.size() != 1) {
        *error = "Must specify output file (see --help).";
        return false;
    }
    options.output = files.first();
    return true;
}

QSize RecordOptions::pictureSize(const QJsonObject& device, const QSize& requested)
{
    if (requested.isValid()) {
        return requested;
    }
    QSize size = DeviceDisplay::turnedSize(device);
    const int limit = device.value("sizeLimit").toInt();
    const int major = std::max(size.width(), size.height());
    if (limit > 0 && major > limit) {
        const auto scale = [&](int side) { return static_cast<int>(static_cast<qint64>(side) * limit / major); };
        size = QSize(scale(size.width()), scale(size.height()));
    }
    return QSize(std::max(8, size.width() / 8 * 8), std::max(8, size.height() / 8 * 8));
}

// Truncates as the phone's recorder does, so a ratio a pixel off leaves a bar of
// one pixel or two rather than a stretched picture.
QRect RecordOptions::contentRect(const QSize& picture, const QSize& screen)
{
    if (screen.isEmpty() || picture.isEmpty()) {
        return QRect(QPoint(0, 0), picture);
    }
    // Exact integer arithmetic: a ratio that matches must not lose a row to rounding.
    const qint64 fitHeight = qint64(picture.width()) * screen.height() / screen.width();
    QSize content;
    if (picture.height() > fitHeight) {
        content = QSize(picture.width(), static_cast<int>(fitHeight));
    } else {
        content = QSize(static_cast<int>(qint64(picture.height()) * screen.width() / screen.height()), picture.height());
    }
    content = content.expandedTo(QSize(1, 1));
    const QPoint offset((picture.width() - content.width()) / 2, (picture.height() - content.height()) / 2);
    return QRect(offset, content);
}

} // namespace sim
