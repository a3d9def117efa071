#include "KeepRatioWidget.h"

#include <cmath>

KeepRatioWidget::KeepRatioWidget(QWidget* parent) : QWidget(parent) {}

KeepRatioWidget::~KeepRatioWidget() = default;

void KeepRatioWidget::setWidget(QWidget* w)
{
    if (!w) {
        return;
    }
    w->setParent(this);
    m_subWidget = w;
}

void KeepRatioWidget::setWidthHeightRatio(float widthHeightRatio)
{
    if (std::fabs(m_widthHeightRatio - widthHeightRatio) < 0.000001f) {
        return;
    }
    m_widthHeightRatio = widthHeightRatio;
    if (m_subWidget) {
        adjustSubWidget();
    }
}

const QSize KeepRatioWidget::goodSize()
{
    if (!m_subWidget || m_widthHeightRatio < 0.0f) {
        return QSize(-1, -1);
    }
    return m_subWidget->size();
}

void KeepRatioWidget::resizeEvent(QResizeEvent* event)
{
    Q_UNUSED(event)
    adjustSubWidget();
}

void KeepRatioWidget::adjustSubWidget()
{
    if (!m_subWidget) {
        return;
    }
    const QSize curSize = size();
    if (m_widthHeightRatio <= 0.0f || curSize.height() <= 0) {
        m_subWidget->setGeometry(0, 0, curSize.width(), curSize.height());
        return;
    }
    const float containerRatio = float(curSize.width()) / float(curSize.height());
    if (m_widthHeightRatio < containerRatio) {
        const int w = int(m_widthHeightRatio * curSize.height());
        m_subWidget->setGeometry((curSize.width() - w) / 2, 0, w, curSize.height());
    } else if (m_widthHeightRatio > containerRatio) {
        const int h = int(curSize.width() / m_widthHeightRatio);
        m_subWidget->setGeometry(0, (curSize.height() - h) / 2, curSize.width(), h);
    } else {
        m_subWidget->setGeometry(0, 0, curSize.width(), curSize.height());
    }
}
