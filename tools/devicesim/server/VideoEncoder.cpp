#include "VideoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

#include <QStringList>

namespace sim {

namespace {

QString avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof(text));
    return QString::fromUtf8(text);
}

} // namespace

VideoEncoder::~VideoEncoder()
{
    close();
}

void VideoEncoder::close()
{
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_ctx);
    m_config.clear();
}

const AVCodec* VideoEncoder::findCodec(const QString& encoderName, QString* error)
{
    const AVCodec* codec = nullptr;
    if (encoderName.isEmpty()) {
        codec = avcodec_find_encoder_by_name("libx264");
        if (!codec) {
            codec = avcodec_find_encoder(AV_CODEC_ID_H264);
        }
    } else {
        codec = avcodec_find_encoder_by_name(encoderName.toUtf8().constData());
        if (codec && codec->id != AV_CODEC_ID_H264) {
            codec = nullptr;
        }
    }
    if (!codec) {
        *error = encoderName.isEmpty() ? QString("No H.264 encoder")
                                       : QString("Encoder '%1' for H.264 not found").arg(encoderName);
    }
    return codec;
}

// "key=value,key:type=value": the encoder's own options; the type part is dropped.
AVDictionary* VideoEncoder::encoderOptions(const AVCodec* codec, const QString& codecOptions)
{
    AVDictionary* options = nullptr;
    if (QString(codec->name) == "libx264") {
        av_dict_set(&options, "preset", "ultrafast", 0);
        av_dict_set(&options, "tune", "zerolatency", 0);
    }
    for (const QString& option : codecOptions.split(',', Qt::SkipEmptyParts)) {
        const QString key = option.section('=', 0, 0).section(':', 0, 0).trimmed();
        const QString value = option.section('=', 1).trimmed();
        if (!key.isEmpty()) {
            av_dict_set(&options, key.toUtf8().constData(), value.toUtf8().constData(), 0);
        }
    }
    return options;
}

bool VideoEncoder::open(const QSize& size, int fps, quint32 bitRate, const QString& encoderName,
                        const QString& codecOptions, QString* error)
{
    close();
    const AVCodec* codec = findCodec(encoderName, error);
    if (!codec) {
        return false;
    }
    m_ctx = avcodec_alloc_context3(codec);
    if (!m_ctx) {
        *error = "Could not allocate encoder context";
        return false;
    }
    m_ctx->width = size.width();
    m_ctx->height = size.height();
    m_ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    m_ctx->time_base = AVRational{1, 1000000};
    m_ctx->framerate = AVRational{fps, 1};
    m_ctx->bit_rate = bitRate;
    m_ctx->gop_size = fps * 10;
    m_ctx->max_b_frames = 0;
    // Parameter sets go out on their own, as the device's codec configuration.
    m_ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // The machine is shared: one thread is plenty for the small test picture.
    m_ctx->thread_count = 1;

    AVDictionary* options = encoderOptions(codec, codecOptions);
    const int opened = avcodec_open2(m_ctx, codec, &options);
    av_dict_free(&options);
    if (opened < 0) {
        *error = "Could not open encoder: " + avError(opened);
        close();
        return false;
    }
    if (m_ctx->extradata && m_ctx->extradata_size > 0) {
        m_config = QByteArray(reinterpret_cast<const char*>(m_ctx->extradata), m_ctx->extradata_size);
    }
    return allocatePicture(size, error);
}

bool VideoEncoder::allocatePicture(const QSize& size, QString* error)
{
    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_frame || !m_packet) {
        *error = "Could not allocate frame";
        close();
        return false;
    }
    m_frame->format = AV_PIX_FMT_YUV420P;
    m_frame->width = size.width();
    m_frame->height = size.height();
    if (av_frame_get_buffer(m_frame, 0) < 0) {
        *error = "Could not allocate picture";
        close();
        return false;
    }
    return true;
}

bool VideoEncoder::encode(qint64 ptsUs, QList<Packet>& packets, QString* error)
{
    if (!m_ctx) {
        *error = "encoder not open";
        return false;
    }
    m_frame->pts = ptsUs;
    const int sent = avcodec_send_frame(m_ctx, m_frame);
    if (sent < 0) {
        *error = "Could not encode: " + avError(sent);
        return false;
    }
    if (!drain(packets, error)) {
        return false;
    }
    // The encoder may still reference the picture; the next one is drawn into
    // a fresh buffer when needed.
    return av_frame_make_writable(m_frame) >= 0;
}

bool VideoEncoder::drain(QList<Packet>& packets, QString* error)
{
    for (;;) {
        const int received = avcodec_receive_packet(m_ctx, m_packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return true;
        }
        if (received < 0) {
            *error = "Could not encode: " + avError(received);
            return false;
        }
        Packet packet;
        packet.pts = m_packet->pts;
        packet.key = (m_packet->flags & AV_PKT_FLAG_KEY) != 0;
        packet.data = QByteArray(reinterpret_cast<const char*>(m_packet->data), m_packet->size);
        packets.append(packet);
        av_packet_unref(m_packet);
    }
}

} // namespace sim
