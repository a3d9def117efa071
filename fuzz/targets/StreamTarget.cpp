// The bytes after the handshake, as the stream thread reads them: demuxed into packets, each
// frame decoded, each picture handed over and read plane by plane as the renderer reads it.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include <QCoreApplication>

#include <cstring>

#include "decoder/Decoder.h"
#include "server/Stream.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace fuzz {

namespace {

class InlineStream : public dvk::Stream
{
public:
    using Stream::Stream;
    // On the caller's thread, so a find points at one stack.
    void runHere() { run(); }
};

// Touches the last byte of every row the renderer uploads, so a plane shorter than the picture
// it claims is an out-of-bounds read here rather than garbage on screen.
void readPlanes(int width, int height, uint8_t* y, uint8_t* u, uint8_t* v, int ly, int lu, int lv)
{
    volatile uint8_t sink = 0;
    if (width <= 0 || height <= 0) {
        return;
    }
    for (int row = 0; row < height; ++row) {
        sink = sink + y[static_cast<ptrdiff_t>(row) * ly + width - 1];
    }
    const int chromaWidth = (width + 1) / 2;
    for (int row = 0; row < (height + 1) / 2; ++row) {
        sink = sink + u[static_cast<ptrdiff_t>(row) * lu + chromaWidth - 1];
        sink = sink + v[static_cast<ptrdiff_t>(row) * lv + chromaWidth - 1];
    }
}

} // namespace

int fuzzStream(const uint8_t* data, size_t size)
{
    ensureApp();
    // The library's complaints about bad data go into the (silenced) log, as in the application.
    static const bool routed = dvk::Stream::init();
    Q_UNUSED(routed)
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    int pos = 0;
    // Reads as the video socket does: all the bytes asked for, or 0 once the stream has ended.
    auto recv = [&bytes, &pos](quint8* buf, qint32 want) -> qint32 {
        if (want <= 0 || bytes.size() - pos < want) {
            pos = bytes.size();
            return 0;
        }
        std::memcpy(buf, bytes.constData() + pos, static_cast<size_t>(want));
        pos += want;
        return want;
    };

    dvk::Decoder decoder(readPlanes);
    if (!decoder.open()) {
        return 0;
    }
    InlineStream stream(recv);
    QObject::connect(&stream, &dvk::Stream::getFrame, &decoder,
                     [&decoder](AVPacket* packet) { decoder.push(packet); }, Qt::DirectConnection);
    stream.runHere();
    // The picture announcements are queued for the GUI thread: deliver them now.
    QCoreApplication::sendPostedEvents(&decoder);
    decoder.close();
    return 0;
}

} // namespace fuzz
