#ifndef H264TESTSTREAM_H
#define H264TESTSTREAM_H

#include <QByteArray>
#include <QJsonObject>
#include <QSize>
#include <QString>
#include <QVector>

extern "C" {
#include <libavcodec/avcodec.h>
}

// A short H.264 stream split the way the device sends it: the parameter sets on their own,
// then one access unit per frame.
struct H264TestStream
{
    QByteArray config;
    QVector<QByteArray> frames;

    static H264TestStream encode(const QSize& size, int frameCount);
};

// A packet as the stream thread hands it on; a null timestamp makes a configuration packet.
AVPacket* makePacket(const QByteArray& data, int64_t pts);

// Runs ffprobe on a file with the given extra arguments and returns its JSON answer.
QJsonObject probe(const QString& file, const QStringList& args);

#endif // H264TESTSTREAM_H
