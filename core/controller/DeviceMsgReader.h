#ifndef DEVICEMSGREADER_H
#define DEVICEMSGREADER_H

#include <QMetaObject>

class QIODevice;

namespace dvk {

class Controller;

// Reads the device messages that arrive on the control socket and hands each complete one to
// the controller. Incomplete messages stay in the socket's buffer until the rest arrives.
class DeviceMsgReader
{
public:
    // Drains the socket on every readyRead (and once right away, for bytes already buffered).
    // The connection ends with the controller or the socket.
    static QMetaObject::Connection attach(QIODevice* socket, Controller* controller);

    // One pass over the bytes available now. Does nothing without a controller.
    static void drain(QIODevice* socket, Controller* controller);
};

} // namespace dvk

#endif // DEVICEMSGREADER_H
