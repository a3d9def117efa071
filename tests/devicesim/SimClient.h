#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QStringList>
#include <QList>
#include <QSize>
#include <QString>
#include <QTcpSocket>

#include <memory>

struct AVCodecContext;
struct AVCodecParserContext;
struct AVFrame;
struct AVPacket;

// The application's side of a simulated connection, kept minimal: blocking
// reads of the handshake and framed packets, and an H.264 decoder.
class StreamReader
{
public:
    explicit StreamReader(QTcpSocket* video) : m_video(video) {}

    bool readExactly(QByteArray& out, int size, int timeoutMs = 5000);
    bool readDeviceInfo(QString& name, QSize& size);
    // pts -1 marks a configuration packet.
    bool readPacket(qint64& pts, QByteArray& payload, int timeoutMs = 5000);

private:
    QTcpSocket* m_video;
};

class H264Decoder
{
public:
    H264Decoder();
    ~H264Decoder();
    bool isOpen() const { return m_ctx != nullptr; }
    // Returns the pictures the packet completed.
    int decode(const QByteArray& data);
    QSize lastSize() const { return m_lastSize; }
    quint32 lastCode() const { return m_lastCode; }
    QList<quint32> codes() const { return m_codes; }
    // Mean luma of a square around a point of the last picture.
    int lumaAround(int x, int y, int radius) const;

private:
    AVCodecContext* m_ctx = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    QSize m_lastSize;
    quint32 m_lastCode = 0;
    QList<quint32> m_codes;
    QByteArray m_lastLuma;
    int m_lastLinesize = 0;
};

// A raw H.264 byte stream, as the phone's screen recorder writes it, cut into
// access units by FFmpeg's own parser and decoded as they complete.
class AnnexBDecoder
{
public:
    AnnexBDecoder();
    ~AnnexBDecoder();
    AnnexBDecoder(const AnnexBDecoder&) = delete;
    AnnexBDecoder& operator=(const AnnexBDecoder&) = delete;

    // last: the stream ended, so the unit held back for its end is complete too.
    void feed(const QByteArray& bytes, bool last = false);

    H264Decoder decoder;

private:
    int parse(const quint8* data, int size);

    AVCodecParserContext* m_parser;
    AVCodecContext* m_ctx;
};

class QProcess;
class QTcpServer;
class SimDevice;

// One server brought up through the adb stand-in, as the application does it.
struct SimLaunch
{
    ~SimLaunch();
    std::unique_ptr<QProcess> shell;
    std::unique_ptr<QTcpServer> listener;
    std::unique_ptr<QTcpSocket> video;
    std::unique_ptr<QTcpSocket> control;
    QString name;
    QSize size;
};

QStringList serverCommand(bool forward, const QStringList& extra = {});
// Pushes the server file, opens the tunnel, starts the shell and connects both
// sockets; reads the device information unless readInfo is false.
bool launchServer(SimDevice& device, bool forward, SimLaunch& launch, QString* why,
                  const QStringList& extra = {}, bool readInfo = true);

class SimDevice;

// What an adb command of the simulated device printed, as bytes, and its exit code (-1 when it
// did not end in time).
struct AdbOutput
{
    int exitCode = -1;
    QByteArray out;
    QString err;
};

AdbOutput runAdbBinary(const SimDevice& device, const QStringList& args, int timeoutMs = 20000);
// "exec-out screenrecord" with these options, writing to standard output.
QStringList recordArgs(const QStringList& options);
QList<QJsonObject> eventsNamed(const SimDevice& device, const QString& name);
bool waitForEvent(const SimDevice& device, const QString& name, int count = 1);
