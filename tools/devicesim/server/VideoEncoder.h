#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>

struct AVCodec;
struct AVCodecContext;
struct AVDictionary;
struct AVFrame;
struct AVPacket;

namespace sim {

// Live H.264 encoding of the test picture: parameter sets come out once as the
// codec configuration, then one access unit per picture.
class VideoEncoder
{
public:
    struct Packet
    {
        qint64 pts = 0;
        QByteArray data;
        bool key = false;
    };

    VideoEncoder() = default;
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    bool open(const QSize& size, int fps, quint32 bitRate, const QString& encoderName, const QString& codecOptions,
              QString* error);
    void close();

    QByteArray configuration() const { return m_config; }
    // The picture to draw into before encode(); planes are YUV 4:2:0.
    AVFrame* picture() { return m_frame; }
    bool encode(qint64 ptsUs, QList<Packet>& packets, QString* error);

private:
    static const AVCodec* findCodec(const QString& encoderName, QString* error);
    static AVDictionary* encoderOptions(const AVCodec* codec, const QString& codecOptions);
    bool allocatePicture(const QSize& size, QString* error);
    bool drain(QList<Packet>& packets, QString* error);

    AVCodecContext* m_ctx = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    QByteArray m_config;
};

} // namespace sim
