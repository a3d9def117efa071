#ifndef STREAM_H
#define STREAM_H

#include <QThread>

#include <atomic>
#include <cstdarg>
#include <functional>

struct AVCodecContext;
struct AVCodecParserContext;
struct AVPacket;

namespace dvk {

// FFmpeg's log output, routed into the application log.
void avLogCallback(void* avcl, int level, const char* fmt, va_list vl);

// Reads the framed H.264 stream on its own thread and hands out one packet per
// access unit, with the codec configuration merged into the frame after it.
class Stream : public QThread
{
    Q_OBJECT
public:
    // Larger than any access unit a device sends; a header announcing more is corrupt.
    static constexpr quint32 kMaxPacketSize = 64 * 1024 * 1024;

    Stream(std::function<qint32(quint8*, qint32)> recvData, QObject* parent = nullptr);
    ~Stream() override;

    static bool init();
    static void deInit();

    bool startDecode();
    void stopDecode();

signals:
    // Emitted on the stream thread; connect directly and finish with the packet before returning.
    void getFrame(AVPacket* packet);
    void getConfigFrame(AVPacket* packet);
    // A signal despite its slot-like name: the name is part of the interface; keep it.
    void onStreamStop();

protected:
    // Runs work() and then marks the end of the thread's accesses for stopDecode().
    void run() final;
    // The thread's work: by default decodeFrames(); a packet source may wrap it in its own set-up.
    virtual void work();
    void decodeFrames();
    // The next packet of the stream: a frame, or configuration with no timestamp. False at its end.
    virtual bool recvPacket(AVPacket* packet);

private:
    bool pushPacket(AVPacket* packet);
    bool appendPending(const AVPacket* packet);
    void markKeyFrame(AVPacket* packet);
    void releasePending();

    std::function<qint32(quint8*, qint32)> m_recvData;
    AVCodecContext* m_codecCtx = nullptr;
    AVCodecParserContext* m_parser = nullptr;
    bool m_hasPending = false;
    AVPacket* m_pending = nullptr;
    // Makes the end of run() visible to the thread sanitizer, which cannot see
    // the locking inside QThread::wait().
    std::atomic<bool> m_runEnded{false};
};

} // namespace dvk

#endif // STREAM_H
