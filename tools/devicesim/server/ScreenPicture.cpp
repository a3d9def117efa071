#include "ScreenPicture.h"

#include "DeviceDisplay.h"
#include "RecordOptions.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <QRect>

#include <cstring>

namespace sim {

namespace {

void fillPlane(quint8* data, int linesize, int width, int height, int value)
{
    for (int row = 0; row < height; ++row) {
        memset(data + row * linesize, value, static_cast<size_t>(width));
    }
}

void copyPlane(const AVFrame* from, AVFrame* to, int plane, const QRect& rect)
{
    const int width = std::min(rect.width(), (plane ? (to->width + 1) / 2 : to->width) - rect.x());
    const int height = std::min(rect.height(), (plane ? (to->height + 1) / 2 : to->height) - rect.y());
    for (int row = 0; row < height; ++row) {
        memcpy(to->data[plane] + (rect.y() + row) * to->linesize[plane] + rect.x(),
               from->data[plane] + row * from->linesize[plane], static_cast<size_t>(std::max(0, width)));
    }
}

} // namespace

ScreenPicture::~ScreenPicture()
{
    av_frame_free(&m_content);
}

void ScreenPicture::follow(const QJsonObject& device)
{
    m_screen = DeviceDisplay::turnedSize(device);
    const QJsonObject touch = device.value("lastTouch").toObject();
    m_touch = touch.isEmpty() ? QPointF(-1, -1) : QPointF(touch.value("x").toDouble(), touch.value("y").toDouble());
    m_pressed = touch.value("down").toBool();
}

bool ScreenPicture::draw(AVFrame* target, quint32 frameNumber)
{
    const QSize size(target->width, target->height);
    const QRect content = RecordOptions::contentRect(size, m_screen);
    if (m_touch.x() < 0 || m_screen.isEmpty()) {
        m_pattern.setTouch(QPoint(-1, -1), false);
    } else {
        m_pattern.setTouch(QPoint(static_cast<int>(m_touch.x() * content.width() / m_screen.width()),
                                  static_cast<int>(m_touch.y() * content.height() / m_screen.height())),
                           m_pressed);
    }
    if (content.size() == size) {
        m_pattern.draw(target, frameNumber);
        return true;
    }
    return drawLetterboxed(target, content, frameNumber);
}

// The screen is drawn on its own and copied in. The frame number's bar code
// also runs along the bottom of the whole picture, over the bar there, so that
// it reads the same wherever the screen lands.
bool ScreenPicture::drawLetterboxed(AVFrame* target, const QRect& content, quint32 frameNumber)
{
    if (!m_content || m_content->width != content.width() || m_content->height != content.height()) {
        av_frame_free(&m_content);
        m_content = av_frame_alloc();
        if (!m_content) {
            return false;
        }
        m_content->format = target->format;
        m_content->width = content.width();
        m_content->height = content.height();
        if (av_frame_get_buffer(m_content, 0) < 0) {
            av_frame_free(&m_content);
            return false;
        }
    }
    m_pattern.draw(m_content, frameNumber);
    const int chromaWidth = (target->width + 1) / 2;
    const int chromaHeight = (target->height + 1) / 2;
    fillPlane(target->data[0], target->linesize[0], target->width, target->height, TestPattern::kBlack);
    fillPlane(target->data[1], target->linesize[1], chromaWidth, chromaHeight, 128);
    fillPlane(target->data[2], target->linesize[2], chromaWidth, chromaHeight, 128);
    copyPlane(m_content, target, 0, content);
    const QRect chroma(content.x() / 2, content.y() / 2, (content.width() + 1) / 2, (content.height() + 1) / 2);
    copyPlane(m_content, target, 1, chroma);
    copyPlane(m_content, target, 2, chroma);
    TestPattern::drawCode(target, frameNumber);
    return true;
}

} // namespace sim
