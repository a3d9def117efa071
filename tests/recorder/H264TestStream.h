#ifndef H264TESTSTREAM_H
#define H264TESTSTREAM_H

#include <QByteArray>
#include <QJsonObject>
#include <QString>

extern "C" {
#include <libavcodec/avcodec.h>
}

// A packet as the stream thread hands it on; a null timestamp makes a configuration packet.
AVPacket* makePacket(const QByteArray& data, int64_t pts);

// Runs ffprobe on a file with the given extra arguments and returns its JSON answer.
QJsonObject probe(const QString& file, const QStringList& args);

#endif // H264TESTSTREAM_H
