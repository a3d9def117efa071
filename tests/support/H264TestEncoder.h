#ifndef H264TESTENCODER_H
#define H264TESTENCODER_H

#include <QByteArray>
#include <QVector>

#include <cstdint>

struct AVPacket;

// Small H.264 streams made with libx264 for the video, recorder and device tests.
struct EncodedFrame
{
    QByteArray data;
    bool key = false;
};

struct EncodedStream
{
    QByteArray config; // parameter sets (empty when they are inside the frames)
    QVector<EncodedFrame> frames;
};

struct EncodeOptions
{
    int width = 64;
    int height = 64;
    int fps = 60;
    int gop = 250;
    bool separateConfig = true;
    // Above 0 the decoder has to hold pictures back to reorder them.
    int bFrames = 0;
};

// One picture per entry of lumas: a flat picture of that luma with neutral
// chroma, or, with chroma set, that U and V.
EncodedStream encodeFlatFrames(const EncodeOptions& options, const QVector<int>& lumas, int u = 128,
                               int v = 128);

// frameCount pictures of a gradient that moves from one picture to the next, so that every
// frame carries real picture data and no two frames are alike.
EncodedStream encodePatternFrames(const EncodeOptions& options, int frameCount);

// Splits an Annex B buffer at its start codes; each piece keeps its start code.
QVector<QByteArray> splitNalUnits(const QByteArray& annexB);

// The 12-byte header and payload of one packet on the video connection.
QByteArray framePacket(quint64 pts, const QByteArray& payload);

// A packet as the stream thread hands it on, with a copy of data; a null timestamp makes a
// configuration packet. The caller frees it with av_packet_free.
AVPacket* makePacket(const QByteArray& data, int64_t pts);

#endif // H264TESTENCODER_H
