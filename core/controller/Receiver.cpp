#include "controller/Receiver.h"

#include <QClipboard>
#include <QDebug>
#include <QGuiApplication>

#include "controller/DeviceMsg.h"

namespace dvk {

Receiver::Receiver(QObject* parent) : QObject(parent) {}

Receiver::~Receiver() = default;

void Receiver::recvDeviceMsg(DeviceMsg* msg)
{
    if (!msg || msg->type() != DeviceMsg::DEVICE_MSG_CLIPBOARD) {
        return;
    }
    qInfo("Device clipboard copied");
    QString text;
    msg->getClipboardMsgData(text);

    // Without a GUI application there is no clipboard to reach.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        qWarning("No computer clipboard to copy to");
        return;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->text(QClipboard::Clipboard) == text) {
        qDebug("Computer clipboard unchanged");
        return;
    }
    clipboard->setText(text, QClipboard::Clipboard);
}

} // namespace dvk
