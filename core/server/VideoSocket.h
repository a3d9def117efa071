#ifndef VIDEOSOCKET_H
#define VIDEOSOCKET_H

#include <QTcpSocket>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace dvk {

// The video connection. The socket lives on the thread that created it, while
// the stream thread reads from it through subThreadRecvData(): the stream
// thread blocks, the socket's thread fills the request and wakes it.
class VideoSocket : public QTcpSocket
{
    Q_OBJECT
public:
    explicit VideoSocket(QObject* parent = nullptr);
    ~VideoSocket() override;

    // Stream thread only. Blocks until exactly bufSize bytes have been copied
    // to buf (returns bufSize) or the stream has ended (returns 0).
    qint32 subThreadRecvData(quint8* buf, const qint32 bufSize);

    // Socket's thread. Takes in what the peer still sends until it closes or timeoutMs has passed,
    // and leaves all of it for the stream thread; the stream then ends where those bytes end,
    // without waiting for this thread again.
    void drain(int timeoutMs);

public slots:
    void onReadyRead();
    void quitNotify();

protected:
    bool event(QEvent* event) override;

private slots:
    void onPeerClosed();

private:
    void serveRequestLocked();
    void finishRequest(qint32 dataSize);
    qint32 takeReadAhead(quint8* dst, qint32 size);
    void fillReadAhead(qint64 limit);

    // Standard primitives, so that thread-sanitizer builds see the hand-over.
    std::mutex m_mutex;
    std::condition_variable m_recvDataCond;
    std::condition_variable m_idleCond;
    quint8* m_buffer = nullptr;
    qint32 m_bufferSize = 0;
    qint32 m_dataSize = 0;
    bool m_requestDone = false;
    std::atomic<bool> m_quit{false};

    // The stream thread is inside subThreadRecvData; the destructor waits for it to leave.
    bool m_requestActive = false;
    // Set by the first request: until then the bytes belong to whoever reads the handshake.
    bool m_streaming = false;
    // The peer has closed: what is buffered is all there will be.
    bool m_peerClosed = false;
    // drain() has run: the read-ahead holds the last bytes there will be.
    bool m_drained = false;
    // drain() is running: the read-ahead takes everything, not only its usual share.
    bool m_draining = false;
    // Bytes already taken off the socket, so the stream thread can go on reading
    // while the socket's thread is busy elsewhere.
    std::vector<quint8> m_readAhead;
    int m_readAheadPos = 0;
};

} // namespace dvk

#endif // VIDEOSOCKET_H
