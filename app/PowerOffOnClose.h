#ifndef POWEROFFONCLOSE_H
#define POWEROFFONCLOSE_H

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

// Turns off the screen of the device a window shows when that window closes. The close waits
// until the device has taken the key (or kMaxWaitMs), so the key is not lost with the connection.
class PowerOffOnClose : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxWaitMs = 5000;

    explicit PowerOffOnClose(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onDeviceConnected(bool success, const QString& serial);
    void onDeviceDisconnected(const QString& serial);
    void sendSleepKey();
    void closeWindow();

    QPointer<QWidget> m_window;
    // The device the window shows; empty while it shows none.
    QString m_serial;
    bool m_keySent = false;
    // The key has gone out (or the wait is over): the window's next close goes through.
    bool m_closing = false;
};

#endif // POWEROFFONCLOSE_H
