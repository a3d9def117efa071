#ifndef DEVICEMSGREADER_H
#define DEVICEMSGREADER_H

#include <QMetaObject>
#include <QtGlobal>

class QIODevice;

namespace dvk {

class Controller;

// Reads the device messages that arrive on the control socket and hands each complete one to
// the controller. Incomplete messages stay in the socket's buffer until the rest arrives.
class DeviceMsgReader
{
public:
    // The longest clipboard text taken from the device. A longer one is read past in pieces as
    // it arrives and never held, so a device cannot make us keep gigabytes.
    static constexpr qint64 MAX_CLIPBOARD_TEXT = 16 * 1024 * 1024;

    // Drains the socket on every readyRead (and once right away, for bytes already buffered).
    // The connection ends with the controller or the socket.
    static QMetaObject::Connection attach(QIODevice* socket, Controller* controller);

    // One pass over the bytes available now. Does nothing without a controller.
    void drain(QIODevice* socket, Controller* controller);

private:
    // Reads past what is left of an over-long text; false while more of it is still to come.
    bool discardOverlong(QIODevice* socket);
    // Starts reading past the message at the front when it announces an over-long text.
    bool beginDiscardIfOverlong(QIODevice* socket);

    qint64 m_toDiscard = 0;
};

} // namespace dvk

#endif // DEVICEMSGREADER_H
