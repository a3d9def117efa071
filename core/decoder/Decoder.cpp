#include "decoder/Decoder.h"

#include "decoder/VideoBuffer.h"

#include <QDebug>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
}

namespace dvk {

Decoder::Decoder(FrameCallback onFrame, QObject* parent)
    : QObject(parent), m_vb(new VideoBuffer()), m_onFrame(std::move(onFrame))
{
    m_vb->init();
    connect(this, &Decoder::newFrame, this, &Decoder::onNewFrame, Qt::QueuedConnection);
    connect(m_vb, &VideoBuffer::updateFPS, this, &Decoder::updateFPS);
}

Decoder::~Decoder()
{
    // A context left open by an owner that never called close().
    avcodec_free_context(&m_codecCtx);
    m_vb->deInit();
    delete m_vb;
}

bool Decoder::open()
{
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!codec) {
        qCritical("H.264 decoder not found");
        return false;
    }
    avcodec_free_context(&m_codecCtx);
    m_codecCtx = avcodec_alloc_context3(codec);
    if (!m_codecCtx) {
        qCritical("Could not allocate decoder context");
        return false;
    }
    if (avcodec_open2(m_codecCtx, codec, nullptr) < 0) {
        qCritical("Could not open H.264 codec");
        // Only an opened context is kept, so its presence alone says the decoder is ready.
        avcodec_free_context(&m_codecCtx);
        return false;
    }
    return true;
}

void Decoder::close()
{
    m_vb->interrupt();
    // Freeing the context also closes it.
    avcodec_free_context(&m_codecCtx);
}

bool Decoder::push(const AVPacket* packet)
{
    if (!m_codecCtx) {
        return false;
    }
    int ret = avcodec_send_packet(m_codecCtx, packet);
    if (ret < 0) {
        char errorbuf[255] = {0};
        av_strerror(ret, errorbuf, sizeof(errorbuf) - 1);
        qCritical("Could not send video packet: %s", errorbuf);
        return false;
    }
    // Take every picture the packet completed, so the decoder never holds one
    // back and refuses the next packet.
    for (;;) {
        ret = avcodec_receive_frame(m_codecCtx, m_vb->decodingFrame());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) {
            return true;
        }
        if (ret < 0) {
            qCritical("Could not receive video frame: %d", ret);
            return false;
        }
        pushFrame();
    }
}

void Decoder::pushFrame()
{
    bool previousFrameSkipped = true;
    m_vb->offerDecodedFrame(previousFrameSkipped);
    if (!previousFrameSkipped) {
        emit newFrame();
    }
}

void Decoder::peekFrame(std::function<void(int width, int height, uint8_t* dataRGB32)> onFrame)
{
    m_vb->peekRenderedFrame(std::move(onFrame));
}

quint32 Decoder::renderedFrames() const
{
    return m_vb->fpsCounter().totalRendered();
}

quint32 Decoder::skippedFrames() const
{
    return m_vb->fpsCounter().totalSkipped();
}

void Decoder::onNewFrame()
{
    if (!m_onFrame) {
        return;
    }
    m_vb->lock();
    const AVFrame* frame = m_vb->consumeRenderedFrame();
    m_onFrame(frame->width, frame->height, frame->data[0], frame->data[1], frame->data[2], frame->linesize[0],
              frame->linesize[1], frame->linesize[2]);
    m_vb->unLock();
}

} // namespace dvk
