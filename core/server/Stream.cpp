#include "server/Stream.h"

#include <QDebug>
#include <QtEndian>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <cstdio>
#include <cstring>
#include <vector>

namespace dvk {

namespace {
constexpr int kHeaderSize = 12;
constexpr quint64 kNoPts = ~quint64(0);

QByteArray formatLogLine(const char* fmt, va_list vl)
{
    char stackBuf[1024];
    va_list copy;
    va_copy(copy, vl);
    const int needed = std::vsnprintf(stackBuf, sizeof(stackBuf), fmt, copy);
    va_end(copy);
    if (needed < 0) {
        return QByteArray();
    }
    QByteArray line;
    if (needed < static_cast<int>(sizeof(stackBuf))) {
        line = QByteArray(stackBuf, needed);
    } else {
        line.resize(needed + 1);
        va_copy(copy, vl);
        std::vsnprintf(line.data(), static_cast<size_t>(needed) + 1, fmt, copy);
        va_end(copy);
        line.resize(needed);
    }
    // FFmpeg ends its lines itself; the log writes one line per message.
    while (line.endsWith('\n') || line.endsWith('\r')) {
        line.chop(1);
    }
    return line;
}
} // namespace

void avLogCallback(void* avcl, int level, const char* fmt, va_list vl)
{
    Q_UNUSED(avcl)
    // The library's own level still applies, as it does for its default callback.
    if (level > AV_LOG_INFO || level > av_log_get_level() || !fmt) {
        return;
    }
    const QByteArray line = formatLogLine(fmt, vl);
    if (line.isEmpty()) {
        return;
    }
    const QString text = QStringLiteral("[FFmpeg] ") + QString::fromUtf8(line);
    if (level <= AV_LOG_ERROR) {
        // Panic and fatal included: a fatal-level Qt message would abort the
        // program over a library complaint about bad stream data.
        qCritical().noquote() << text;
    } else if (level <= AV_LOG_WARNING) {
        qWarning().noquote() << text;
    } else {
        qInfo().noquote() << text;
    }
}

Stream::Stream(std::function<qint32(quint8*, qint32)> recvData, QObject* parent)
    : QThread(parent), m_recvData(std::move(recvData))
{
}

Stream::~Stream()
{
    // Destroying a running thread aborts the program; the owner closes the socket first.
    stopDecode();
}

bool Stream::init()
{
    if (avformat_network_init() < 0) {
        return false;
    }
    av_log_set_callback(avLogCallback);
    return true;
}

void Stream::deInit()
{
    avformat_network_deinit();
}

bool Stream::startDecode()
{
    if (!m_recvData) {
        return false;
    }
    start();
    return true;
}

void Stream::stopDecode()
{
    wait();
    m_runEnded.load(std::memory_order_acquire);
}

void Stream::run()
{
    work();
    m_runEnded.store(true, std::memory_order_release);
}

void Stream::work()
{
    decodeFrames();
}

void Stream::decodeFrames()
{
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec) {
        qCritical("H.264 decoder not found");
    } else if (!(m_codecCtx = avcodec_alloc_context3(codec))) {
        qCritical("Could not allocate codec context");
    } else if (!(m_parser = av_parser_init(AV_CODEC_ID_H264))) {
        qCritical("Could not initialize parser");
    } else {
        m_parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
        AVPacket* packet = av_packet_alloc();
        if (!packet) {
            qCritical("Could not allocate packet");
        }
        while (packet && recvPacket(packet)) {
            const bool ok = pushPacket(packet);
            av_packet_unref(packet);
            if (!ok) {
                break;
            }
        }
        av_packet_free(&packet);
        qDebug("End of frames");
        releasePending();
        av_parser_close(m_parser);
        m_parser = nullptr;
    }
    avcodec_free_context(&m_codecCtx);
    emit onStreamStop();
}

bool Stream::recvPacket(AVPacket* packet)
{
    quint8 header[kHeaderSize];
    for (;;) {
        if (m_recvData(header, kHeaderSize) < kHeaderSize) {
            return false;
        }
        const quint64 rawPts = qFromBigEndian<quint64>(header);
        const quint32 len = qFromBigEndian<quint32>(header + 8);
        if (len > kMaxPacketSize) {
            qCritical("Packet length %u exceeds the limit of %u bytes", len, kMaxPacketSize);
            return false;
        }
        // An empty packet carries nothing to decode or record; skip it rather
        // than hand the decoder something it reads as end of stream.
        if (len == 0) {
            continue;
        }
        if (av_new_packet(packet, static_cast<int>(len)) < 0) {
            qCritical("Could not allocate packet");
            return false;
        }
        if (m_recvData(packet->data, static_cast<qint32>(len)) < static_cast<qint32>(len)) {
            av_packet_unref(packet);
            return false;
        }
        packet->pts = rawPts == kNoPts ? AV_NOPTS_VALUE : static_cast<int64_t>(rawPts);
        return true;
    }
}

bool Stream::pushPacket(AVPacket* packet)
{
    const bool isConfig = packet->pts == AV_NOPTS_VALUE;
    if ((isConfig || m_hasPending) && !appendPending(packet)) {
        return false;
    }
    if (isConfig) {
        emit getConfigFrame(packet);
        return true;
    }

    AVPacket* frame = packet;
    if (m_hasPending) {
        m_pending->pts = packet->pts;
        m_pending->dts = packet->dts;
        m_pending->flags = packet->flags;
        frame = m_pending;
    }
    markKeyFrame(frame);
    frame->dts = frame->pts;
    emit getFrame(frame);
    releasePending();
    return true;
}

bool Stream::appendPending(const AVPacket* packet)
{
    if (!m_hasPending) {
        m_pending = av_packet_alloc();
        if (!m_pending || av_new_packet(m_pending, packet->size) < 0) {
            qCritical("Could not create packet");
            av_packet_free(&m_pending);
            return false;
        }
        m_hasPending = true;
        std::memcpy(m_pending->data, packet->data, static_cast<size_t>(packet->size));
        return true;
    }
    const int offset = m_pending->size;
    // Configuration without a frame after it must not pile up without end.
    if (static_cast<quint64>(offset) + static_cast<quint64>(packet->size) > kMaxPacketSize
        || av_grow_packet(m_pending, packet->size) < 0) {
        qCritical("Could not grow packet");
        return false;
    }
    std::memcpy(m_pending->data + offset, packet->data, static_cast<size_t>(packet->size));
    return true;
}

void Stream::markKeyFrame(AVPacket* packet)
{
    // Only the key-frame verdict is wanted; the parser's output is not used.
    uint8_t* outData = nullptr;
    int outSize = 0;
    av_parser_parse2(m_parser, m_codecCtx, &outData, &outSize, packet->data, packet->size, AV_NOPTS_VALUE,
                     AV_NOPTS_VALUE, -1);
    if (m_parser->key_frame == 1) {
        packet->flags |= AV_PKT_FLAG_KEY;
    }
}

void Stream::releasePending()
{
    if (m_hasPending) {
        m_hasPending = false;
        av_packet_free(&m_pending);
    }
}

} // namespace dvk
