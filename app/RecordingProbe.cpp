#include "RecordingProbe.h"

#include <QFileInfo>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace RecordingProbe {

namespace {

QString firstVideoPacket(AVFormatContext* context)
{
    if (avformat_find_stream_info(context, nullptr) < 0) {
        return QStringLiteral("no stream information");
    }
    const int video = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0) {
        return QStringLiteral("no video stream");
    }
    AVPacket* packet = av_packet_alloc();
    if (!packet) {
        return QStringLiteral("out of memory");
    }
    bool found = false;
    while (!found && av_read_frame(context, packet) >= 0) {
        found = packet->stream_index == video;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return found ? QString() : QStringLiteral("no pictures");
}

} // namespace

QString problem(const QString& fileName)
{
    if (!QFileInfo(fileName).isFile()) {
        return QStringLiteral("no file was written");
    }
    AVFormatContext* context = nullptr;
    const QByteArray name = fileName.toUtf8();
    if (avformat_open_input(&context, name.constData(), nullptr, nullptr) < 0) {
        return QStringLiteral("the file cannot be opened as a recording");
    }
    const QString result = firstVideoPacket(context);
    avformat_close_input(&context);
    return result;
}

} // namespace RecordingProbe
