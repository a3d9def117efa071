#pragma once

#include <QPoint>
#include <QSize>

struct AVFrame;

namespace sim {

// The simulated screen: a moving picture with the frame number written twice,
// as digits for people and as a 16-cell bar code along the bottom for tests,
// and a marker where the last touch landed.
class TestPattern
{
public:
    static constexpr int kCodeBits = 16;
    static constexpr int kWhite = 235;
    static constexpr int kBlack = 16;

    void setTouch(const QPoint& point, bool pressed);
    void draw(AVFrame* frame, quint32 frameNumber) const;
    // Only the frame number's bar code, along the bottom of the whole frame.
    static void drawCode(AVFrame* frame, quint32 frameNumber);

    // Height of the bar code strip at the bottom of a picture of this size.
    static int codeHeight(const QSize& size);
    // Reads the frame number back from a decoded luma plane.
    static quint32 readCode(const quint8* luma, int linesize, const QSize& size);
    static int markerSize(const QSize& size);

private:
    QPoint m_touch{-1, -1};
    bool m_pressed = false;
};

} // namespace sim
