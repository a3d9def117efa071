#ifndef SIGNALWATCHER_H
#define SIGNALWATCHER_H

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM (on Windows: Ctrl+C, Ctrl+Break and closing the console) into a
// Qt signal on the GUI thread, so that the program can end its work in order. The process
// handlers only write to a pipe; everything else happens in the event loop.
class SignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    void received(int signalNumber);

private:
    void onReadable();

    QSocketNotifier* m_notifier = nullptr;
};

#endif // SIGNALWATCHER_H
