#include "ScreenCapture.h"

#include "DeviceDisplay.h"
#include "RecordOptions.h"
#include "ScreenPicture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>

#include <cstdio>
#include <memory>

namespace sim {

namespace {

struct FrameFree
{
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

struct ContextFree
{
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};

struct PacketFree
{
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

FramePtr allocFrame(const QSize& size, AVPixelFormat format)
{
    FramePtr frame(av_frame_alloc());
    if (!frame) {
        return frame;
    }
    frame->format = format;
    frame->width = size.width();
    frame->height = size.height();
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        frame.reset();
    }
    return frame;
}

FramePtr toRgb(const AVFrame* yuv)
{
    FramePtr rgb = allocFrame(QSize(yuv->width, yuv->height), AV_PIX_FMT_RGB24);
    SwsContext* sws = sws_getContext(yuv->width, yuv->height, AV_PIX_FMT_YUV420P, yuv->width, yuv->height,
                                     AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr, nullptr);
    if (!rgb || !sws) {
        sws_freeContext(sws);
        return FramePtr();
    }
    sws_scale(sws, yuv->data, yuv->linesize, 0, yuv->height, rgb->data, rgb->linesize);
    sws_freeContext(sws);
    return rgb;
}

// Light compression: the picture is large and screencap is asked for often.
QByteArray encodePng(const AVFrame* rgb, QString* error)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    std::unique_ptr<AVCodecContext, ContextFree> ctx(codec ? avcodec_alloc_context3(codec) : nullptr);
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!ctx || !packet) {
        *error = "no PNG encoder";
        return QByteArray();
    }
    ctx->width = rgb->width;
    ctx->height = rgb->height;
    ctx->pix_fmt = AV_PIX_FMT_RGB24;
    ctx->time_base = AVRational{1, 1};
    ctx->compression_level = 1;
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0 || avcodec_send_frame(ctx.get(), rgb) < 0 ||
        avcodec_receive_packet(ctx.get(), packet.get()) < 0) {
        *error = "PNG encoding failed";
        return QByteArray();
    }
    return QByteArray(reinterpret_cast<const char*>(packet->data), packet->size);
}

QString sizeText(const QSize& size)
{
    return QString("%1x%2").arg(size.width()).arg(size.height());
}

} // namespace

ScreenCapture::ScreenCapture(const SimHome& home, const QString& device) : m_home(home), m_deviceSerial(device) {}

QByteArray ScreenCapture::png(const QJsonObject& device, QString* error)
{
    const QSize size = DeviceDisplay::turnedSize(device);
    FramePtr yuv = allocFrame(size, AV_PIX_FMT_YUV420P);
    ScreenPicture picture;
    picture.follow(device);
    // A still screen has drawn nothing new: the picture of frame 0.
    if (!yuv || !picture.draw(yuv.get(), 0)) {
        *error = "out of memory";
        return QByteArray();
    }
    FramePtr rgb = toRgb(yuv.get());
    if (!rgb) {
        *error = "colour conversion failed";
        return QByteArray();
    }
    return encodePng(rgb.get(), error);
}

// screencap [-p] [-d ID] [FILE]: a FILE ending in .png is PNG too. The raw
// form (pixels after a header) is not simulated.
bool ScreenCapture::parse(const QStringList& args, QString* error)
{
    QStringList files;
    for (int i = 0; i < args.size(); ++i) {
        const QString arg = args.at(i);
        if (arg == "-p") {
            m_png = true;
        } else if (arg == "-d") {
            ++i;
        } else if (arg.startsWith('-')) {
            *error = QString("screencap: unrecognized option '%1'").arg(arg);
            return false;
        } else {
            files.append(arg);
        }
    }
    if (files.size() > 1) {
        *error = "usage: screencap [-hp] [-d display-id] [FILENAME]";
        return false;
    }
    m_output = files.value(0, "-");
    m_png = m_png || m_output.endsWith(".png");
    if (!m_png) {
        *error = "screencap: the simulated device writes only PNG (-p or a .png file)";
        return false;
    }
    return true;
}

bool ScreenCapture::write(const QByteArray& bytes, QString* error) const
{
    if (m_output == "-") {
        const bool ok = fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) ==
                            static_cast<size_t>(bytes.size()) &&
                        fflush(stdout) == 0;
        if (!ok) {
            *error = "screencap: write failed";
        }
        return ok;
    }
    QFile file(m_home.hostPathFor(m_deviceSerial, m_output));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        *error = QString("Error opening file: %1 (No such file or directory)").arg(m_output);
        return false;
    }
    return true;
}

int ScreenCapture::run(const QStringList& args)
{
    av_log_set_level(AV_LOG_QUIET);
    QJsonObject device;
    QString error;
    if (!m_home.readDevice(m_deviceSerial, device)) {
        error = "screencap: no device state";
    } else if (parse(args, &error)) {
        const QByteArray bytes = png(device, &error);
        if (!bytes.isEmpty() && write(bytes, &error)) {
            appendJsonLine(m_home.eventLogPath(m_deviceSerial),
                           QJsonObject{{"event", "screencap"},
                                       {"args", QJsonArray::fromStringList(args)},
                                       {"size", sizeText(DeviceDisplay::turnedSize(device))},
                                       {"orientation", DeviceDisplay::orientation(device)},
                                       {"pid", QCoreApplication::applicationPid()},
                                       {"t", nowMs()}});
            return 0;
        }
    }
    fprintf(stderr, "%s\n", error.toUtf8().constData());
    return 1;
}

} // namespace sim
