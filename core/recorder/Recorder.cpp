#include "recorder/Recorder.h"

#include "AppVersion.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <cstring>

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace dvk {

namespace {

// Timestamps from the device are in microseconds.
constexpr AVRational DRAVIK_TIME_BASE = {1, 1000000};

// Duration given to the last packet, which has no successor to measure against.
constexpr int64_t LAST_PACKET_DURATION = 100000;

QString errorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {0};
    av_strerror(code, text, sizeof(text));
    return QString::fromUtf8(text);
}

QString recorderVersion()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QString::fromLatin1(appVersion()) : version;
}

} // namespace

Recorder::Recorder(const QString& fileName, QObject* parent)
    : QThread(parent), m_fileName(fileName), m_format(guessRecordFormat(fileName))
{
}

Recorder::Recorder(const QString& fileName, RecorderFormat format, QObject* parent)
    : QThread(parent), m_fileName(fileName), m_format(format)
{
}

Recorder::~Recorder()
{
    if (isRunning()) {
        stopRecorder();
        wait();
    }
    queueClear();
    packetDelete(&m_previous);
    close();
}

Recorder::RecorderFormat Recorder::guessRecordFormat(const QString& fileName)
{
    if (fileName.size() <= 3) {
        return RECORDER_FORMAT_NULL;
    }
    const QString suffix = QFileInfo(fileName).suffix();
    if (suffix == QLatin1String("mp4")) {
        return RECORDER_FORMAT_MP4;
    }
    if (suffix == QLatin1String("mkv")) {
        return RECORDER_FORMAT_MKV;
    }
    return RECORDER_FORMAT_NULL;
}

Recorder::RecorderFormat Recorder::formatFromName(const QString& formatName)
{
    if (formatName.compare(QLatin1String("mp4"), Qt::CaseInsensitive) == 0) {
        return RECORDER_FORMAT_MP4;
    }
    if (formatName.compare(QLatin1String("mkv"), Qt::CaseInsensitive) == 0) {
        return RECORDER_FORMAT_MKV;
    }
    return RECORDER_FORMAT_NULL;
}

Recorder::RecorderFormat Recorder::format() const
{
    return m_format;
}

const QString& Recorder::fileName() const
{
    return m_fileName;
}

void Recorder::setFrameSize(const QSize& declaredFrameSize)
{
    m_declaredFrameSize = declaredFrameSize;
}

bool Recorder::open()
{
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec) {
        qCritical("H.264 decoder not found");
        return false;
    }

    const AVOutputFormat* muxer = findMuxer(recorderGetFormatName(m_format));
    if (!muxer) {
        qCritical("Could not find muxer");
        return false;
    }

    m_formatCtx = avformat_alloc_context();
    if (!m_formatCtx) {
        qCritical("Could not allocate output context");
        return false;
    }
    m_formatCtx->oformat = muxer;

    const QByteArray fileNameUtf8 = m_fileName.toUtf8();
    m_formatCtx->url = av_strdup(fileNameUtf8.constData());

    const QByteArray comment = QStringLiteral("Recorded by VaDizede %1").arg(recorderVersion()).toUtf8();
    av_dict_set(&m_formatCtx->metadata, "comment", comment.constData(), 0);

    AVStream* stream = avformat_new_stream(m_formatCtx, codec);
    if (!stream) {
        avformat_free_context(m_formatCtx);
        m_formatCtx = nullptr;
        return false;
    }
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->codecpar->codec_id = codec->id;
    stream->codecpar->format = AV_PIX_FMT_YUV420P;
    stream->codecpar->width = m_declaredFrameSize.width();
    stream->codecpar->height = m_declaredFrameSize.height();

    // Recordings go below the data directory, whose folders only a screenshot would otherwise create.
    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    const int ret = avio_open(&m_formatCtx->pb, fileNameUtf8.constData(), AVIO_FLAG_WRITE);
    if (ret < 0) {
        char errorText[254] = {0};
        av_strerror(ret, errorText, sizeof(errorText));
        qCritical("Failed to open output file: %s %s", errorText, fileNameUtf8.constData());
        avformat_free_context(m_formatCtx);
        m_formatCtx = nullptr;
        return false;
    }
    return true;
}

bool Recorder::startRecorder()
{
    start();
    return true;
}

bool Recorder::push(const AVPacket* packet)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (m_failed) {
        ++m_refused;
        return false;
    }
    AVPacket* rec = packetNew(packet);
    if (!rec) {
        ++m_refused;
        m_failReason = QStringLiteral("no memory for the packet");
        return false;
    }
    m_queue.enqueue(rec);
    m_queueCond.notify_one();
    return true;
}

qint64 Recorder::refusedPackets()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_refused;
}

QString Recorder::failureReason()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    return m_failReason;
}

void Recorder::stopRecorder()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_stopped = true;
    m_queueCond.notify_one();
}

void Recorder::close()
{
    reportRefused();
    if (!m_formatCtx) {
        return;
    }
    if (m_headerWritten) {
        const int ret = av_write_trailer(m_formatCtx);
        if (ret < 0) {
            qCritical("Failed to write trailer to %s", qUtf8Printable(m_fileName));
            std::lock_guard<std::mutex> locker(m_mutex);
            m_failed = true;
        } else {
            qInfo("success record %s", qUtf8Printable(m_fileName));
        }
    } else {
        std::lock_guard<std::mutex> locker(m_mutex);
        m_failed = true;
    }
    avio_closep(&m_formatCtx->pb);
    avformat_free_context(m_formatCtx);
    m_formatCtx = nullptr;
    m_headerWritten = false;
    m_ptsOrigin = AV_NOPTS_VALUE;
    m_lastDts = AV_NOPTS_VALUE;
}

void Recorder::run()
{
    bool failed = false;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_queueCond.wait(lock, [this] { return m_stopped || !m_queue.isEmpty(); });
        if (m_stopped && m_queue.isEmpty()) {
            break;
        }
        AVPacket* rec = m_queue.dequeue();
        lock.unlock();

        // Each packet is held back until the next one arrives, so that its duration is known.
        AVPacket* previous = m_previous;
        m_previous = rec;
        if (previous) {
            if (previous->pts != AV_NOPTS_VALUE && rec->pts != AV_NOPTS_VALUE) {
                previous->duration = rec->pts - previous->pts;
            }
            const bool ok = write(previous);
            packetDelete(&previous);
            if (!ok) {
                qCritical("Could not record packet");
                lock.lock();
                m_failed = true;
                m_failReason = m_writeError;
                queueClear();
                failed = true;
                break;
            }
        }
        lock.lock();
    }

    if (!failed && m_previous) {
        m_previous->duration = LAST_PACKET_DURATION;
        if (!write(m_previous)) {
            qWarning("Could not record last packet");
        }
    }
    packetDelete(&m_previous);
    lock.unlock();
    qDebug("Recorder thread ended");
}

bool Recorder::write(AVPacket* packet)
{
    // Without a container (open failed) there is nothing to write into.
    if (!m_formatCtx) {
        m_writeError = QStringLiteral("the recording file is not open");
        return false;
    }
    if (!m_headerWritten) {
        if (packet->pts != AV_NOPTS_VALUE) {
            qCritical("The first packet is not a config packet");
            m_writeError = QStringLiteral("the first packet is not a config packet");
            return false;
        }
        if (!recorderWriteHeader(packet)) {
            return false;
        }
        m_headerWritten = true;
        return true;
    }
    // A later configuration (the device's encoder restarted) is already prefixed to the next frame.
    if (packet->pts == AV_NOPTS_VALUE) {
        return true;
    }
    // Device clocks need not start at zero; a recording does, or an MP4 would open with a long blank.
    if (m_ptsOrigin == AV_NOPTS_VALUE) {
        m_ptsOrigin = packet->pts;
    }
    packet->pts -= m_ptsOrigin;
    if (packet->dts != AV_NOPTS_VALUE) {
        packet->dts -= m_ptsOrigin;
    }
    recorderRescalePacket(packet);
    keepStrictOrder(packet);
    packet->stream_index = 0;
    const int ret = av_write_frame(m_formatCtx, packet);
    if (ret < 0) {
        m_writeError = errorText(ret);
        return false;
    }
    return true;
}

bool Recorder::recorderWriteHeader(const AVPacket* packet)
{
    AVStream* stream = m_formatCtx->streams[0];
    uint8_t* extradata = static_cast<uint8_t*>(av_mallocz(static_cast<size_t>(packet->size) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!extradata) {
        qCritical("Cannot allocate extradata");
        m_writeError = QStringLiteral("no memory for the stream's configuration");
        return false;
    }
    if (packet->size > 0) {
        memcpy(extradata, packet->data, static_cast<size_t>(packet->size));
    }
    av_freep(&stream->codecpar->extradata);
    stream->codecpar->extradata = extradata;
    stream->codecpar->extradata_size = packet->size;

    const int ret = avformat_write_header(m_formatCtx, nullptr);
    if (ret < 0) {
        qCritical("Failed to write header recorder file");
        m_writeError = QStringLiteral("the file header was not written: ") + errorText(ret);
        return false;
    }
    return true;
}

void Recorder::recorderRescalePacket(AVPacket* packet)
{
    av_packet_rescale_ts(packet, DRAVIK_TIME_BASE, m_formatCtx->streams[0]->time_base);
}

// Frames closer together than one tick of the file's time base (a phone's recorder can hand over
// two in one read) would share a time, which the muxer refuses, and every frame after it would be
// lost: the later one moves on by a tick.
void Recorder::keepStrictOrder(AVPacket* packet)
{
    if (packet->dts == AV_NOPTS_VALUE) {
        return;
    }
    if (m_lastDts != AV_NOPTS_VALUE && packet->dts <= m_lastDts) {
        const int64_t shift = m_lastDts + 1 - packet->dts;
        packet->dts += shift;
        if (packet->pts != AV_NOPTS_VALUE) {
            packet->pts += shift;
        }
    }
    m_lastDts = packet->dts;
}

const char* Recorder::recorderGetFormatName(RecorderFormat format)
{
    switch (format) {
    case RECORDER_FORMAT_MP4:
        return "mp4";
    case RECORDER_FORMAT_MKV:
        return "matroska";
    default:
        return "";
    }
}

const AVOutputFormat* Recorder::findMuxer(const char* name)
{
    void* opaque = nullptr;
    while (const AVOutputFormat* muxer = av_muxer_iterate(&opaque)) {
        if (strcmp(muxer->name, name) == 0) {
            return muxer;
        }
    }
    return nullptr;
}

void Recorder::queueClear()
{
    while (!m_queue.isEmpty()) {
        AVPacket* packet = m_queue.dequeue();
        packetDelete(&packet);
    }
}

AVPacket* Recorder::packetNew(const AVPacket* packet)
{
    AVPacket* rec = av_packet_alloc();
    if (!rec) {
        return nullptr;
    }
    if (av_packet_ref(rec, packet) < 0) {
        av_packet_free(&rec);
        return nullptr;
    }
    return rec;
}

void Recorder::packetDelete(AVPacket** packet)
{
    av_packet_free(packet);
}

// The refusals of a failed recording were told once as they began; their number is told at its end.
void Recorder::reportRefused()
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (m_refused == 0) {
        return;
    }
    qWarning("Recording %s ended; packets not recorded: %lld (%s)", qUtf8Printable(m_fileName),
             static_cast<long long>(m_refused), qUtf8Printable(m_failReason));
    m_refused = 0;
}

} // namespace dvk
