#ifndef DEVICETITLE_H
#define DEVICETITLE_H

#include <QObject>
#include <QPointer>
#include <QString>

#include "device/DeviceObserver.h"

class QWidget;

// Keeps a window's title on the device it shows, whether its keymap's game mode is on, and its
// frame rate, which the device reports once a second: "VaDizede — SIM0001 — game — 60 fps".
class DeviceTitle : public QObject, public dvk::DeviceObserver
{
    Q_OBJECT
public:
    // base: the title's leading text, and the whole title while no device is shown. viewOnly:
    // the title says that input does not reach the device.
    DeviceTitle(QWidget* window, const QString& base, bool viewOnly = false);
    ~DeviceTitle() override;

    static QString text(const QString& base, const QString& serial, int fps, bool viewOnly = false,
                        bool game = false);

    void updateFPS(quint32 fps) override;
    void gameModeChanged(bool on) override;

private:
    void onDeviceConnected(bool success, const QString& serial);
    void onDeviceDisconnected(const QString& serial);
    void detach();
    void show(int fps);

    QPointer<QWidget> m_window;
    QString m_base;
    bool m_viewOnly = false;
    QString m_serial;
    int m_fps = -1;
    bool m_game = false;
};

#endif // DEVICETITLE_H
