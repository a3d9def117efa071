#include "decoder/AVFrameConvert.h"

#include <QDebug>

extern "C" {
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace dvk {

AVFrameConvert::AVFrameConvert() = default;

AVFrameConvert::~AVFrameConvert()
{
    deInit();
}

void AVFrameConvert::setSrcFrameInfo(int srcWidth, int srcHeight, AVPixelFormat srcFormat)
{
    m_srcWidth = srcWidth;
    m_srcHeight = srcHeight;
    m_srcFormat = srcFormat;
    qDebug().nospace() << "Convert::src frame info " << srcWidth << "x" << srcHeight;
}

void AVFrameConvert::getSrcFrameInfo(int& srcWidth, int& srcHeight, AVPixelFormat& srcFormat)
{
    srcWidth = m_srcWidth;
    srcHeight = m_srcHeight;
    srcFormat = m_srcFormat;
}

void AVFrameConvert::setDstFrameInfo(int dstWidth, int dstHeight, AVPixelFormat dstFormat)
{
    m_dstWidth = dstWidth;
    m_dstHeight = dstHeight;
    m_dstFormat = dstFormat;
}

void AVFrameConvert::getDstFrameInfo(int& dstWidth, int& dstHeight, AVPixelFormat& dstFormat)
{
    dstWidth = m_dstWidth;
    dstHeight = m_dstHeight;
    dstFormat = m_dstFormat;
}

bool AVFrameConvert::init()
{
    if (!m_convertCtx) {
        m_convertCtx = sws_getContext(m_srcWidth, m_srcHeight, m_srcFormat, m_dstWidth, m_dstHeight, m_dstFormat,
                                      SWS_BICUBIC, nullptr, nullptr, nullptr);
    }
    return m_convertCtx != nullptr;
}

bool AVFrameConvert::isInit()
{
    return m_convertCtx != nullptr;
}

void AVFrameConvert::deInit()
{
    if (m_convertCtx) {
        sws_freeContext(m_convertCtx);
        m_convertCtx = nullptr;
    }
}

bool AVFrameConvert::convert(const AVFrame* srcFrame, AVFrame* dstFrame)
{
    if (!m_convertCtx || !srcFrame || !dstFrame) {
        return false;
    }
    const int height = sws_scale(m_convertCtx, srcFrame->data, srcFrame->linesize, 0, m_srcHeight, dstFrame->data,
                                 dstFrame->linesize);
    return height != 0;
}

} // namespace dvk
