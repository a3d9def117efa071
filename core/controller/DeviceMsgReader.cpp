#include "controller/DeviceMsgReader.h"

#include <QDebug>
#include <QIODevice>
#include <QPointer>

#include <memory>

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
    // One reader per connection: a text being read past spans many arrivals.
    auto reader = std::make_shared<DeviceMsgReader>();
    auto onReadyRead = [reader, guardedSocket, guardedController]() {
        reader->drain(guardedSocket.data(), guardedController.data());
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
        if (!discardOverlong(socket)) {
            return;
        }
        if (beginDiscardIfOverlong(socket)) {
            continue;
        }
        const qint64 available = socket->bytesAvailable();
        // A long text arrives in many pieces: wait for all of it without copying the
        // growing remainder out of the socket on every arrival.
        const qint64 announced = DeviceMsg::announcedSize(socket->peek(DeviceMsg::HEADER_SIZE));
        if (announced > available) {
            return;
        }
        QByteArray bytes = socket->peek(announced > 0 ? announced : available);
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

bool DeviceMsgReader::discardOverlong(QIODevice* socket)
{
    if (m_toDiscard == 0) {
        return true;
    }
    const qint64 skipped = socket->skip(qMin(m_toDiscard, socket->bytesAvailable()));
    m_toDiscard -= qMax<qint64>(skipped, 0);
    return m_toDiscard == 0;
}

bool DeviceMsgReader::beginDiscardIfOverlong(QIODevice* socket)
{
    const qint64 announced = DeviceMsg::announcedSize(socket->peek(DeviceMsg::HEADER_SIZE));
    const qint64 textLength = announced - DeviceMsg::HEADER_SIZE;
    if (textLength <= MAX_CLIPBOARD_TEXT) {
        return false;
    }
    qWarning("Device clipboard text of %lld bytes is longer than the %lld we take; it is dropped",
             static_cast<long long>(textLength), static_cast<long long>(MAX_CLIPBOARD_TEXT));
    socket->skip(DeviceMsg::HEADER_SIZE);
    m_toDiscard = textLength;
    return true;
}

} // namespace dvk
