#ifndef SCREENRECORDSTREAM_H
#define SCREENRECORDSTREAM_H

#include <QSize>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

#include "server/Stream.h"

struct AVBSFContext;
struct AVCodecContext;
struct AVCodecParserContext;
class QProcess;

namespace dvk {

// The device's own screen recorder as a packet source. On the stream thread it runs
// "adb exec-out screenrecord", cuts the raw H.264 it prints into access units with FFmpeg's
// parser, takes the parameter sets out as configuration and stamps each frame with the time
// its bytes arrived (arrivalNowUs()). From there the packets take the server stream's path: configuration merged
// into the next frame, key frames marked, the same signals. A run ends with the recorder; the
// owner may start the thread again for a new recording.
class ScreenRecordStream : public Stream
{
    Q_OBJECT
public:
    // How the last run ended; complete once finished() has been emitted.
    struct Outcome
    {
        bool stopped = false; // stop() ended it
        int exitCode = 0;
        QString error; // the recorder's standard error, or why it could not run
        int frames = 0;
    };

    // Most recorder versions stop by themselves after three minutes; asking for it keeps that explicit.
    static constexpr int kTimeLimitSeconds = 180;

    ScreenRecordStream(QString adbPath, QString serial, QStringList recordArgs, QObject* parent = nullptr);
    ~ScreenRecordStream() override;

    // The screenrecord command after "exec-out"; the size is passed only when it is valid.
    static QStringList recordArguments(quint32 bitRate, const QSize& size, int timeLimitSeconds = kTimeLimitSeconds);

    // For the next recording; not while one runs.
    void setRecordArguments(const QStringList& args) { m_recordArgs = args; }
    QStringList recordArgumentsInUse() const { return m_recordArgs; }
    // Starts a recording, again after the last one ended.
    bool startRecording();
    // Any thread: ends the recorder; the thread follows within a few milliseconds.
    void stop();
    Outcome outcome() const;
    // The recorder has announced its stream (its parameter sets) at least once.
    bool announced() const { return m_announced; }
    // The clock of the frames' timestamps: microseconds on the steady clock.
    static int64_t arrivalNowUs();

signals:
    // The picture size the stream's parameter sets announce, each time it changes.
    void pictureSize(const QSize& size);
    // The first frame of a recording has been read.
    void firstFrame();

protected:
    void work() override;
    bool recvPacket(AVPacket* packet) override;

private:
    bool openCutter();
    void closeCutter();
    bool startRecorder();
    void endRecorder();
    bool readMore();
    bool takeLastBytes();
    void takeErrorOutput();
    bool cut(const QByteArray& chunk);
    bool flushCutter();
    bool takeAccessUnit(const uint8_t* data, int size);
    bool queueCopy(const uint8_t* data, int size, int64_t pts);
    void notePictureSize();
    int countFrame();
    void clearReady();

    const QString m_adbPath;
    const QString m_serial;
    QStringList m_recordArgs;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_announced{false};

    // Stream thread only, from the start of a run to its end.
    QProcess* m_process = nullptr;
    AVCodecContext* m_cutterCtx = nullptr;
    AVCodecParserContext* m_cutter = nullptr;
    AVBSFContext* m_extractor = nullptr;
    std::deque<AVPacket*> m_ready;
    // Bytes handed to the parser since it last gave an access unit: bounded, or noise would pile up.
    qint64 m_uncut = 0;
    // The parser holds bytes that no later ones have closed yet.
    bool m_cutterHolds = false;
    bool m_lastBytesTaken = false;
    int64_t m_arrivalUs = 0;
    int64_t m_lastPts = -1;
    QSize m_size;

    // Written by the stream thread, read by the owner after the run.
    mutable std::mutex m_outcomeMutex;
    Outcome m_outcome;
};

} // namespace dvk

#endif // SCREENRECORDSTREAM_H
