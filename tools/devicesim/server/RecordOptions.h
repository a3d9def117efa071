#pragma once

#include <QJsonObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

namespace sim {

// The command line of the device's screen recorder and the picture size it
// settles on.
struct RecordOptions
{
    static constexpr int kMaxTimeLimit = 180;

    QSize size;                  // invalid: the display's own size
    quint32 bitRate = 20000000;  // the recorder's default, 20 Mbps
    int timeLimit = kMaxTimeLimit;
    QString output;              // "-": standard output

    // False with the recorder's own error text (exit code 2) for an option it refuses.
    static bool parse(const QStringList& args, RecordOptions& options, QString* error);

    // The asked size exactly; otherwise the turned display's, its longer side
    // capped by the device's sizeLimit keeping the ratio, each side a multiple of 8.
    static QSize pictureSize(const QJsonObject& device, const QSize& requested);
    // Where a screen lands inside a picture of another ratio: as large as fits
    // keeping its ratio, centred, black bars around it.
    static QRect contentRect(const QSize& picture, const QSize& screen);
};

} // namespace sim
