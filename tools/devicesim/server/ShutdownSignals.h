#pragma once

#include <QObject>

class QSocketNotifier;

namespace sim {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop (through a pipe, as a
// signal handler may do nothing else), and ignores SIGPIPE so that a closed peer is a write
// error, not the end of the process. One per process.
class ShutdownSignals : public QObject
{
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject* parent = nullptr);

    bool install();

signals:
    void received(int sig);

private:
    void onReadable();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace sim
