#ifndef POWEROFFONCLOSE_H
#define POWEROFFONCLOSE_H

#include <QObject>
#include <QPointer>
#include <QString>

class DeviceWindow;

// Turns off the screen of the device a window shows when that window closes. The close waits
// until the device has taken the key (or kMaxWaitMs), so the key is not lost with the connection.
class PowerOffOnClose : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxWaitMs = 5000;

    explicit PowerOffOnClose(DeviceWindow* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void sendSleepKey(const QString& serial);
    void closeWindow();

    QPointer<DeviceWindow> m_window;
    bool m_keySent = false;
    // The key has gone out (or the wait is over): the window's next close goes through.
    bool m_closing = false;
};

#endif // POWEROFFONCLOSE_H
