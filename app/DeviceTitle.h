#ifndef DEVICETITLE_H
#define DEVICETITLE_H

#include <QObject>
#include <QPointer>
#include <QString>

#include "device/DeviceObserver.h"

class QWidget;

// Keeps a window's title on the device it shows, whether its keymap's game mode is on, whether
// group control is on, and its frame rate, which the device reports once a second:
// "VaDizede — Pixel 7 — SIM0001 — game — group — 60 fps".
class DeviceTitle : public QObject, public dvk::DeviceObserver
{
    Q_OBJECT
public:
    // base: the title's leading text, and the whole title while no device is shown. viewOnly:
    // the title says that input does not reach the device.
    DeviceTitle(QWidget* window, const QString& base, bool viewOnly = false);
    ~DeviceTitle() override;

    struct Parts
    {
        QString base;
        // Left out when empty.
        QString model;
        QString serial;
        // Left out when negative.
        int fps = -1;
        bool viewOnly = false;
        bool game = false;
        bool group = false;
    };
    static QString text(const Parts& parts);

    // Follows this connected device from now on; an empty serial: none.
    void setDevice(const QString& serial, const QString& model = QString());

    void updateFPS(quint32 fps) override;
    void gameModeChanged(bool on) override;

private:
    void detach();
    void show();

    QPointer<QWidget> m_window;
    Parts m_parts;
};

#endif // DEVICETITLE_H
