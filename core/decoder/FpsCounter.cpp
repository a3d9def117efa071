#include "decoder/FpsCounter.h"

#include <QTimerEvent>

namespace dvk {

FpsCounter::FpsCounter(QObject* parent) : QObject(parent) {}

FpsCounter::~FpsCounter() = default;

void FpsCounter::start()
{
    resetCounter();
    m_totalRendered = 0;
    m_totalSkipped = 0;
    const int previous = m_counterTimer.exchange(0);
    if (previous) {
        killTimer(previous);
    }
    m_counterTimer = startTimer(1000, Qt::CoarseTimer);
}

void FpsCounter::stop()
{
    const int previous = m_counterTimer.exchange(0);
    if (previous) {
        killTimer(previous);
    }
    resetCounter();
}

bool FpsCounter::isStarted()
{
    return m_counterTimer != 0;
}

void FpsCounter::addRenderedFrame()
{
    ++m_rendered;
    ++m_totalRendered;
}

void FpsCounter::addSkippedFrame()
{
    ++m_skipped;
    ++m_totalSkipped;
}

quint32 FpsCounter::totalRendered() const
{
    return m_totalRendered;
}

quint32 FpsCounter::totalSkipped() const
{
    return m_totalSkipped;
}

void FpsCounter::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_counterTimer) {
        QObject::timerEvent(event);
        return;
    }
    m_curRendered = m_rendered.exchange(0);
    m_curSkipped = m_skipped.exchange(0);
    emit updateFPS(m_curRendered);
}

void FpsCounter::resetCounter()
{
    m_rendered = 0;
    m_skipped = 0;
}

} // namespace dvk
