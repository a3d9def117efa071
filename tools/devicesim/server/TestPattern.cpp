#include "TestPattern.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

// 3x5 digits, one row per entry, most significant bit on the left.
const quint8 kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

void fillRect(AVFrame* f, int x, int y, int w, int h, int value)
{
    const int x0 = std::clamp(x, 0, f->width);
    const int y0 = std::clamp(y, 0, f->height);
    const int x1 = std::clamp(x + w, 0, f->width);
    const int y1 = std::clamp(y + h, 0, f->height);
    for (int row = y0; row < y1; ++row) {
        memset(f->data[0] + row * f->linesize[0] + x0, value, static_cast<size_t>(std::max(0, x1 - x0)));
    }
}

void fillChroma(AVFrame* f, int x, int y, int w, int h, int u, int v)
{
    const int x0 = std::clamp(x / 2, 0, f->width / 2);
    const int y0 = std::clamp(y / 2, 0, f->height / 2);
    const int x1 = std::clamp((x + w + 1) / 2, 0, f->width / 2);
    const int y1 = std::clamp((y + h + 1) / 2, 0, f->height / 2);
    for (int row = y0; row < y1; ++row) {
        memset(f->data[1] + row * f->linesize[1] + x0, u, static_cast<size_t>(std::max(0, x1 - x0)));
        memset(f->data[2] + row * f->linesize[2] + x0, v, static_cast<size_t>(std::max(0, x1 - x0)));
    }
}

} // namespace

void TestPattern::setTouch(const QPoint& point, bool pressed)
{
    m_touch = point;
    m_pressed = pressed;
}

int TestPattern::codeHeight(const QSize& size)
{
    return std::max(8, size.height() / 24);
}

int TestPattern::markerSize(const QSize& size)
{
    return std::max(6, std::min(size.width(), size.height()) / 16);
}

void TestPattern::draw(AVFrame* f, quint32 frameNumber) const
{
    const int w = f->width;
    const int h = f->height;
    // Background: a diagonal ramp that moves, so every picture differs.
    for (int y = 0; y < h; ++y) {
        quint8* row = f->data[0] + y * f->linesize[0];
        for (int x = 0; x < w; ++x) {
            row[x] = static_cast<quint8>(48 + ((x + y + static_cast<int>(frameNumber) * 4) & 127));
        }
    }
    // Odd sides round the chroma planes up: their last row and column are painted too.
    const int chromaH = (h + 1) / 2;
    for (int y = 0; y < chromaH; ++y) {
        memset(f->data[1] + y * f->linesize[1], 128 + (y * 64) / std::max(1, chromaH) - 32,
               static_cast<size_t>((w + 1) / 2));
        memset(f->data[2] + y * f->linesize[2], 160, static_cast<size_t>((w + 1) / 2));
    }
    // A bar sweeping across.
    const int barWidth = std::max(4, w / 12);
    fillRect(f, static_cast<int>((frameNumber * 3) % static_cast<quint32>(w)), 0, barWidth, h - codeHeight({w, h}), 180);

    // Frame number as digits in a black box at the top left.
    const int scale = std::max(2, w / 80);
    const QByteArray digits = QByteArray::number(frameNumber);
    fillRect(f, 0, 0, (digits.size() * 4 + 1) * scale, 7 * scale, kBlack);
    for (int i = 0; i < digits.size(); ++i) {
        const quint8* glyph = kDigits[digits[i] - '0'];
        for (int gy = 0; gy < 5; ++gy) {
            for (int gx = 0; gx < 3; ++gx) {
                if (glyph[gy] & (4 >> gx)) {
                    fillRect(f, (1 + i * 4 + gx) * scale, (1 + gy) * scale, scale, scale, kWhite);
                }
            }
        }
    }

    drawCode(f, frameNumber);

    // The touch marker: white with a black rim, filled while pressed.
    if (m_touch.x() >= 0 && m_touch.y() >= 0) {
        const int m = markerSize({w, h});
        const int x = m_touch.x() - m / 2;
        const int y = m_touch.y() - m / 2;
        fillRect(f, x - 2, y - 2, m + 4, m + 4, kBlack);
        fillRect(f, x, y, m, m, kWhite);
        if (!m_pressed) {
            fillRect(f, x + m / 3, y + m / 3, m - 2 * (m / 3), m - 2 * (m / 3), kBlack);
        }
        fillChroma(f, x - 2, y - 2, m + 4, m + 4, 128, 128);
    }
}

// Least significant bit on the left.
void TestPattern::drawCode(AVFrame* f, quint32 frameNumber)
{
    const int w = f->width;
    const int h = f->height;
    const int codeH = codeHeight({w, h});
    fillChroma(f, 0, h - codeH, w, codeH, 128, 128);
    for (int bit = 0; bit < kCodeBits; ++bit) {
        const int x0 = bit * w / kCodeBits;
        const int x1 = (bit + 1) * w / kCodeBits;
        fillRect(f, x0, h - codeH, x1 - x0, codeH, (frameNumber >> bit) & 1 ? kWhite : kBlack);
    }
}

quint32 TestPattern::readCode(const quint8* luma, int linesize, const QSize& size)
{
    const int codeH = codeHeight(size);
    const int y = size.height() - codeH / 2 - 1;
    quint32 value = 0;
    for (int bit = 0; bit < kCodeBits; ++bit) {
        const int x = (bit * size.width() / kCodeBits + (bit + 1) * size.width() / kCodeBits) / 2;
        if (luma[y * linesize + x] > (kWhite + kBlack) / 2) {
            value |= 1u << bit;
        }
    }
    return value;
}

} // namespace sim
