#include "decoder/VideoBuffer.h"

#include "decoder/AVFrameConvert.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
}

#include <memory>

namespace dvk {

VideoBuffer::VideoBuffer(QObject* parent) : QObject(parent)
{
    connect(&m_fpsCounter, &FpsCounter::updateFPS, this, &VideoBuffer::updateFPS);
}

VideoBuffer::~VideoBuffer()
{
    deInit();
}

bool VideoBuffer::init()
{
    deInit();
    m_decodingFrame = av_frame_alloc();
    m_renderingFrame = av_frame_alloc();
    if (!m_decodingFrame || !m_renderingFrame) {
        deInit();
        return false;
    }
    m_renderingFrameConsumed = true;
    m_interrupted = false;
    m_fpsCounter.start();
    return true;
}

void VideoBuffer::deInit()
{
    av_frame_free(&m_decodingFrame);
    av_frame_free(&m_renderingFrame);
    m_fpsCounter.stop();
}

void VideoBuffer::lock()
{
    m_mutex.lock();
}

void VideoBuffer::unLock()
{
    m_mutex.unlock();
}

void VideoBuffer::setRenderExpiredFrames(bool renderExpiredFrames)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_renderExpiredFrames = renderExpiredFrames;
}

AVFrame* VideoBuffer::decodingFrame()
{
    return m_decodingFrame;
}

void VideoBuffer::offerDecodedFrame(bool& previousFrameSkipped)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    if (m_renderExpiredFrames) {
        m_renderingFrameConsumedCond.wait(locker, [this] { return m_renderingFrameConsumed || m_interrupted; });
    } else if (m_fpsCounter.isStarted() && !m_renderingFrameConsumed) {
        m_fpsCounter.addSkippedFrame();
    }
    std::swap(m_decodingFrame, m_renderingFrame);
    previousFrameSkipped = !m_renderingFrameConsumed;
    m_renderingFrameConsumed = false;
}

const AVFrame* VideoBuffer::consumeRenderedFrame()
{
    m_renderingFrameConsumed = true;
    if (m_fpsCounter.isStarted()) {
        m_fpsCounter.addRenderedFrame();
    }
    if (m_renderExpiredFrames) {
        m_renderingFrameConsumedCond.notify_one();
    }
    return m_renderingFrame;
}

void VideoBuffer::peekRenderedFrame(std::function<void(int width, int height, uint8_t* dataRGB32)> onFrame)
{
    if (!onFrame) {
        return;
    }
    struct FreeFrame
    {
        void operator()(AVFrame* f) const { av_frame_free(&f); }
    };
    struct FreeBytes
    {
        void operator()(uint8_t* p) const { av_free(p); }
    };

    lock();
    const AVFrame* src = m_renderingFrame;
    const int width = src ? src->width : 0;
    const int height = src ? src->height : 0;
    if (width <= 0 || height <= 0 || !src->data[0]) {
        unLock();
        return;
    }
    const int size = av_image_get_buffer_size(AV_PIX_FMT_RGB32, width, height, 1);
    std::unique_ptr<uint8_t, FreeBytes> bytes(size > 0 ? static_cast<uint8_t*>(av_malloc(size)) : nullptr);
    std::unique_ptr<AVFrame, FreeFrame> rgbFrame(av_frame_alloc());
    if (!bytes || !rgbFrame
        || av_image_fill_arrays(rgbFrame->data, rgbFrame->linesize, bytes.get(), AV_PIX_FMT_RGB32, width, height, 1)
               < 0) {
        unLock();
        return;
    }
    // The decoder's own layout, so a full-range or other 4:2:0 picture converts right.
    const AVPixelFormat srcFormat =
        src->format == AV_PIX_FMT_NONE ? AV_PIX_FMT_YUV420P : static_cast<AVPixelFormat>(src->format);
    AVFrameConvert convert;
    convert.setSrcFrameInfo(width, height, srcFormat);
    convert.setDstFrameInfo(width, height, AV_PIX_FMT_RGB32);
    const bool converted = convert.init() && convert.convert(src, rgbFrame.get());
    convert.deInit();
    rgbFrame.reset();
    unLock();
    if (converted) {
        onFrame(width, height, bytes.get());
    }
}

void VideoBuffer::interrupt()
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_interrupted = true;
    m_renderingFrameConsumedCond.notify_all();
}

const FpsCounter& VideoBuffer::fpsCounter() const
{
    return m_fpsCounter;
}

} // namespace dvk
