#ifndef ADBTHREAD_H
#define ADBTHREAD_H

#include <QThread>

// Runs whatever is connected directly to resultReady on a thread of its own.
class AdbThread : public QThread
{
    Q_OBJECT
public:
    explicit AdbThread(QObject* parent = nullptr);
    ~AdbThread() override;

signals:
    void resultReady();

protected:
    void run() override;
};

#endif // ADBTHREAD_H
