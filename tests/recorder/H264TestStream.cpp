#include "H264TestStream.h"

#include <QJsonDocument>
#include <QProcess>

AVPacket* makePacket(const QByteArray& data, int64_t pts)
{
    AVPacket* packet = av_packet_alloc();
    av_new_packet(packet, data.size());
    memcpy(packet->data, data.constData(), static_cast<size_t>(data.size()));
    packet->pts = pts;
    packet->dts = pts;
    return packet;
}

QJsonObject probe(const QString& file, const QStringList& args)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  QStringList{"-v", "error", "-of", "json"} + args + QStringList{file});
    if (!ffprobe.waitForFinished(30000) || ffprobe.exitCode() != 0) {
        return QJsonObject();
    }
    return QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
}
