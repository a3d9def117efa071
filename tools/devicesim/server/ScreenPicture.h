#pragma once

#include <QJsonObject>
#include <QPointF>
#include <QSize>

#include "TestPattern.h"

struct AVFrame;

namespace sim {

// The device's screen as its recorder and screencap show it: the test picture
// of the display as it is turned now, fitted inside a picture of any size with
// black bars where the ratios differ, and the touch marker where the last
// touch landed.
class ScreenPicture
{
public:
    ScreenPicture() = default;
    ~ScreenPicture();
    ScreenPicture(const ScreenPicture&) = delete;
    ScreenPicture& operator=(const ScreenPicture&) = delete;

    // Takes the turned display size and the last touch (in its pixels) from the device's state.
    void follow(const QJsonObject& device);
    // False when a picture for the bars could not be allocated.
    bool draw(AVFrame* target, quint32 frameNumber);

private:
    bool drawLetterboxed(AVFrame* target, const QRect& content, quint32 frameNumber);

    TestPattern m_pattern;
    QSize m_screen;
    QPointF m_touch{-1, -1};
    bool m_pressed = false;
    AVFrame* m_content = nullptr;
};

} // namespace sim
