#ifndef VIDEOBUFFER_H
#define VIDEOBUFFER_H

#include "decoder/FpsCounter.h"

#include <QObject>

#include <condition_variable>
#include <functional>
#include <mutex>

struct AVFrame;

namespace dvk {

// Two-frame exchange: the decoder writes the newest picture into one frame
// while the GUI thread reads the last complete one from the other.
class VideoBuffer : public QObject
{
    Q_OBJECT
public:
    explicit VideoBuffer(QObject* parent = nullptr);
    ~VideoBuffer() override;

    bool init();
    void deInit();
    void lock();
    void unLock();
    // On: the decoder waits for each picture to be taken instead of dropping it.
    void setRenderExpiredFrames(bool renderExpiredFrames);

    AVFrame* decodingFrame();
    // Stream thread: publishes the decoding frame; previousFrameSkipped tells
    // whether the picture it replaces had not been taken yet.
    void offerDecodedFrame(bool& previousFrameSkipped);
    // GUI thread, with the buffer locked.
    const AVFrame* consumeRenderedFrame();
    void peekRenderedFrame(std::function<void(int width, int height, uint8_t* dataRGB32)> onFrame);
    void interrupt();

    const FpsCounter& fpsCounter() const;

signals:
    void updateFPS(quint32 fps);

private:
    AVFrame* m_decodingFrame = nullptr;
    AVFrame* m_renderingFrame = nullptr;
    // Standard primitives, so that thread-sanitizer builds see the locking.
    std::mutex m_mutex;
    bool m_renderingFrameConsumed = true;
    FpsCounter m_fpsCounter;

    bool m_renderExpiredFrames = false;
    std::condition_variable m_renderingFrameConsumedCond;
    bool m_interrupted = false;
};

} // namespace dvk

#endif // VIDEOBUFFER_H
