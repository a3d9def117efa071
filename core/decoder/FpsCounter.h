#ifndef FPSCOUNTER_H
#define FPSCOUNTER_H

#include <QObject>

#include <atomic>

namespace dvk {

// Counts the pictures taken and skipped per second. The counts are bumped from
// the stream thread and the GUI thread; the timer runs on the counter's thread.
class FpsCounter : public QObject
{
    Q_OBJECT
public:
    explicit FpsCounter(QObject* parent = nullptr);
    ~FpsCounter() override;

    void start();
    void stop();
    bool isStarted();
    void addRenderedFrame();
    void addSkippedFrame();

    // Totals since the last start(), for diagnostics and measurements.
    quint32 totalRendered() const;
    quint32 totalSkipped() const;

signals:
    void updateFPS(quint32 fps);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void resetCounter();

    std::atomic<int> m_counterTimer{0};
    std::atomic<quint32> m_rendered{0};
    std::atomic<quint32> m_skipped{0};
    quint32 m_curRendered = 0;
    quint32 m_curSkipped = 0;
    std::atomic<quint32> m_totalRendered{0};
    std::atomic<quint32> m_totalSkipped{0};
};

} // namespace dvk

#endif // FPSCOUNTER_H
