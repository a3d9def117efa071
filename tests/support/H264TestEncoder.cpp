#include "H264TestEncoder.h"

#include <QtEndian>
#include <cstring>
#include <functional>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

namespace {

using FillPicture = std::function<void(AVFrame* frame, int index)>;

void collect(AVCodecContext* ctx, AVPacket* pkt, EncodedStream& out)
{
    while (avcodec_receive_packet(ctx, pkt) == 0) {
        EncodedFrame f;
        f.data = QByteArray(reinterpret_cast<const char*>(pkt->data), pkt->size);
        f.key = pkt->flags & AV_PKT_FLAG_KEY;
        out.frames.append(f);
        av_packet_unref(pkt);
    }
}

EncodedStream encodeFrames(const EncodeOptions& options, int frameCount, const FillPicture& fill)
{
    EncodedStream out;
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        return out;
    }
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->width = options.width;
    ctx->height = options.height;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = AVRational{1, options.fps};
    ctx->framerate = AVRational{options.fps, 1};
    ctx->gop_size = options.gop;
    ctx->max_b_frames = options.bFrames;
    if (options.separateConfig) {
        ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    av_opt_set(ctx->priv_data, "preset", "ultrafast", 0);
    if (options.bFrames == 0) {
        av_opt_set(ctx->priv_data, "tune", "zerolatency", 0);
    }
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        return out;
    }
    if (options.separateConfig && ctx->extradata_size > 0) {
        out.config = QByteArray(reinterpret_cast<const char*>(ctx->extradata), ctx->extradata_size);
    }

    AVFrame* frame = av_frame_alloc();
    frame->format = ctx->pix_fmt;
    frame->width = ctx->width;
    frame->height = ctx->height;
    av_frame_get_buffer(frame, 0);
    AVPacket* pkt = av_packet_alloc();
    for (int i = 0; i < frameCount; ++i) {
        av_frame_make_writable(frame);
        fill(frame, i);
        frame->pts = i;
        avcodec_send_frame(ctx, frame);
        collect(ctx, pkt, out);
    }
    avcodec_send_frame(ctx, nullptr);
    collect(ctx, pkt, out);
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
    return out;
}

void fillPlane(uint8_t* data, int linesize, int width, int height, int value)
{
    for (int y = 0; y < height; ++y) {
        std::memset(data + y * linesize, value, static_cast<size_t>(width));
    }
}

} // namespace

EncodedStream encodeFlatFrames(const EncodeOptions& options, const QVector<int>& lumas, int u, int v)
{
    return encodeFrames(options, lumas.size(), [&lumas, u, v](AVFrame* frame, int index) {
        fillPlane(frame->data[0], frame->linesize[0], frame->width, frame->height, lumas[index]);
        fillPlane(frame->data[1], frame->linesize[1], frame->width / 2, frame->height / 2, u);
        fillPlane(frame->data[2], frame->linesize[2], frame->width / 2, frame->height / 2, v);
    });
}

EncodedStream encodePatternFrames(const EncodeOptions& options, int frameCount)
{
    return encodeFrames(options, frameCount, [](AVFrame* frame, int index) {
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
    });
}

QVector<QByteArray> splitNalUnits(const QByteArray& annexB)
{
    QVector<int> starts;
    for (int i = 0; i + 3 <= annexB.size(); ++i) {
        if (annexB[i] == 0 && annexB[i + 1] == 0 && annexB[i + 2] == 1) {
            starts.append(i > 0 && annexB[i - 1] == 0 ? i - 1 : i);
            i += 2;
        }
    }
    QVector<QByteArray> units;
    for (int k = 0; k < starts.size(); ++k) {
        const int end = k + 1 < starts.size() ? starts[k + 1] : annexB.size();
        units.append(annexB.mid(starts[k], end - starts[k]));
    }
    return units;
}

QByteArray framePacket(quint64 pts, const QByteArray& payload)
{
    QByteArray out(12, '\0');
    qToBigEndian<quint64>(pts, out.data());
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), out.data() + 8);
    return out + payload;
}

AVPacket* makePacket(const QByteArray& data, int64_t pts)
{
    AVPacket* packet = av_packet_alloc();
    av_new_packet(packet, data.size());
    std::memcpy(packet->data, data.constData(), static_cast<size_t>(data.size()));
    packet->pts = pts;
    packet->dts = pts;
    return packet;
}
