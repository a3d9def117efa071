#ifndef DECODER_H
#define DECODER_H

#include <QObject>

#include <functional>

struct AVCodecContext;
struct AVPacket;

namespace dvk {

class VideoBuffer;

// Decodes H.264 frame packets on the stream thread and hands the newest picture
// to the GUI thread; a picture not taken before the next one is dropped.
class Decoder : public QObject
{
    Q_OBJECT
public:
    // Runs on the decoder's thread with the frame buffer locked; the planes are
    // valid only during the call.
    using FrameCallback = std::function<void(int width, int height, uint8_t* dataY, uint8_t* dataU, uint8_t* dataV,
                                             int linesizeY, int linesizeU, int linesizeV)>;

    explicit Decoder(FrameCallback onFrame, QObject* parent = nullptr);
    ~Decoder() override;

    bool open();
    void close();
    bool push(const AVPacket* packet);
    void peekFrame(std::function<void(int width, int height, uint8_t* dataRGB32)> onFrame);

    // Pictures taken and dropped since the decoder was made.
    quint32 renderedFrames() const;
    quint32 skippedFrames() const;

signals:
    void updateFPS(quint32 fps);
    void newFrame();

public slots:
    void onNewFrame();

private:
    void pushFrame();

    VideoBuffer* m_vb = nullptr;
    AVCodecContext* m_codecCtx = nullptr;
    FrameCallback m_onFrame;
};

} // namespace dvk

#endif // DECODER_H
