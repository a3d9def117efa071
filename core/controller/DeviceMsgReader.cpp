#include "controller/DeviceMsgReader.h"

#include <QIODevice>
#include <QPointer>

#include <limits>

#include "controller/Controller.h"
#include "controller/DeviceMsg.h"

namespace dvk {

QMetaObject::Connection DeviceMsgReader::attach(QIODevice* socket, Controller* controller)
{
    if (!socket || !controller) {
        return {};
    }
    QPointer<QIODevice> guardedSocket(socket);
    QPointer<Controller> guardedController(controller);
    auto onReadyRead = [guardedSocket, guardedController]() {
        drain(guardedSocket.data(), guardedController.data());
    };
    QMetaObject::invokeMethod(controller, onReadyRead, Qt::QueuedConnection);
    return QObject::connect(socket, &QIODevice::readyRead, controller, onReadyRead);
}

void DeviceMsgReader::drain(QIODevice* socket, Controller* controller)
{
    QPointer<Controller> guardedController(controller);
    if (!socket || !guardedController) {
        return;
    }
    while (socket->bytesAvailable() > 0) {
        const qint64 available = socket->bytesAvailable();
        // A long text arrives in many pieces: wait for all of it without copying the
        // growing remainder out of the socket on every arrival.
        const qint64 announced = DeviceMsg::announcedSize(socket->peek(DeviceMsg::HEADER_SIZE));
        const bool fitsArray = announced <= std::numeric_limits<int>::max();
        if (fitsArray && announced > available) {
            return;
        }
        QByteArray bytes = socket->peek(announced > 0 && fitsArray ? announced : available);
        DeviceMsg msg;
        const int consumed = msg.deserialize(bytes);
        if (consumed == 0) {
            return;
        }
        if (consumed < 0) {
            // The bytes after a message we cannot frame have no known boundary: drop what is
            // buffered (the warning was logged once for it) and take the next arrival afresh,
            // instead of stalling on the same bytes for the rest of the connection.
            const qint64 dropped = socket->skip(available);
            qWarning("Discarded %lld unreadable bytes from the device", static_cast<long long>(dropped));
            return;
        }
        socket->skip(consumed);
        if (guardedController) {
            guardedController->recvDeviceMsg(&msg);
        }
    }
}

} // namespace dvk
