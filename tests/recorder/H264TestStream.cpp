#include "H264TestStream.h"

#include <QJsonDocument>
#include <QProcess>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

namespace {

void fillPattern(AVFrame* frame, int index)
{
    for (int y = 0; y < frame->height; ++y) {
        for (int x = 0; x < frame->width; ++x) {
            frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(x + y + index * 7);
        }
    }
    for (int y = 0; y < frame->height / 2; ++y) {
        for (int x = 0; x < frame->width / 2; ++x) {
            frame->data[1][y * frame->linesize[1] + x] = static_cast<uint8_t>(128 + index);
            frame->data[2][y * frame->linesize[2] + x] = static_cast<uint8_t>(64 + x);
        }
    }
}

void drain(AVCodecContext* ctx, AVPacket* pkt, QVector<QByteArray>& frames)
{
    while (avcodec_receive_packet(ctx, pkt) == 0) {
        frames.append(QByteArray(reinterpret_cast<const char*>(pkt->data), pkt->size));
        av_packet_unref(pkt);
    }
}

} // namespace

H264TestStream H264TestStream::encode(const QSize& size, int frameCount)
{
    H264TestStream out;
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        return out;
    }
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->width = size.width();
    ctx->height = size.height();
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = {1, 30};
    ctx->framerate = {30, 1};
    ctx->gop_size = 10;
    ctx->max_b_frames = 0;
    ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
    av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        return out;
    }
    out.config = QByteArray(reinterpret_cast<const char*>(ctx->extradata), ctx->extradata_size);

    AVFrame* frame = av_frame_alloc();
    frame->format = ctx->pix_fmt;
    frame->width = ctx->width;
    frame->height = ctx->height;
    av_frame_get_buffer(frame, 0);
    AVPacket* pkt = av_packet_alloc();
    for (int i = 0; i < frameCount; ++i) {
        av_frame_make_writable(frame);
        fillPattern(frame, i);
        frame->pts = i;
        avcodec_send_frame(ctx, frame);
        drain(ctx, pkt, out.frames);
    }
    avcodec_send_frame(ctx, nullptr);
    drain(ctx, pkt, out.frames);

    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return out;
}

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
