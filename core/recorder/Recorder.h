#ifndef RECORDER_H
#define RECORDER_H

#include <QQueue>
#include <QSize>
#include <QString>
#include <QThread>

#include <condition_variable>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace dvk {

// Writes the device's H.264 stream, as it arrives and without re-encoding, into an MP4 or
// Matroska file. Packets are queued from the stream thread and muxed on this thread.
class Recorder : public QThread
{
    Q_OBJECT
public:
    enum RecorderFormat {
        RECORDER_FORMAT_NULL = 0,
        RECORDER_FORMAT_MP4 = 1,
        RECORDER_FORMAT_MKV = 2,
    };

    explicit Recorder(const QString& fileName, QObject* parent = nullptr);
    // For a file whose container is chosen by its caller rather than by the name's suffix.
    Recorder(const QString& fileName, RecorderFormat format, QObject* parent = nullptr);
    ~Recorder() override;

    static RecorderFormat guessRecordFormat(const QString& fileName);
    // The container named "mp4" or "mkv", in any case.
    static RecorderFormat formatFromName(const QString& formatName);

    RecorderFormat format() const;
    const QString& fileName() const;

    void setFrameSize(const QSize& declaredFrameSize);
    bool open();
    bool startRecorder();
    // False once the recording has failed; every refusal is counted, and close() tells the count.
    bool push(const AVPacket* packet);
    qint64 refusedPackets();
    // Why packets are refused, for the one line that says so.
    QString failureReason();
    void stopRecorder();
    void close();

protected:
    void run() override;

private:
    bool write(AVPacket* packet);
    bool recorderWriteHeader(const AVPacket* packet);
    void recorderRescalePacket(AVPacket* packet);
    void keepStrictOrder(AVPacket* packet);
    static const char* recorderGetFormatName(RecorderFormat format);
    static const AVOutputFormat* findMuxer(const char* name);
    void queueClear();
    static AVPacket* packetNew(const AVPacket* packet);
    static void packetDelete(AVPacket** packet);
    void reportRefused();

    QString m_fileName;
    AVFormatContext* m_formatCtx = nullptr;
    QSize m_declaredFrameSize = QSize(-1, -1);
    bool m_headerWritten = false;
    RecorderFormat m_format = RECORDER_FORMAT_NULL;
    // Standard primitives, so that thread-sanitizer builds can see the locking.
    std::mutex m_mutex;
    std::condition_variable m_queueCond;
    bool m_stopped = false;
    bool m_failed = false;
    QString m_failReason;
    qint64 m_refused = 0;
    // Why the last write failed; the worker's own, published as m_failReason under the mutex.
    QString m_writeError;
    QQueue<AVPacket*> m_queue;
    AVPacket* m_previous = nullptr;
    int64_t m_ptsOrigin = AV_NOPTS_VALUE;
    // The last decoding time written, in the file's time base.
    int64_t m_lastDts = AV_NOPTS_VALUE;
};

} // namespace dvk

#endif // RECORDER_H
