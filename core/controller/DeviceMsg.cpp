#include "controller/DeviceMsg.h"

#include <QBuffer>
#include <QDebug>

#include <limits>

#include "controller/BufferUtil.h"

namespace dvk {

DeviceMsg::DeviceMsg(QObject* parent) : QObject(parent) {}

DeviceMsg::~DeviceMsg() = default;

int DeviceMsg::deserialize(QByteArray& bytes)
{
    if (bytes.isEmpty()) {
        return 0;
    }
    // The type is judged as soon as it is there, so that a short message of an unknown type is
    // not left waiting for bytes that belong to the next message.
    const qint8 type = static_cast<qint8>(bytes.at(0));
    if (type != DEVICE_MSG_CLIPBOARD) {
        m_type = static_cast<DeviceMsgType>(type);
        qWarning("Unsupported device msg type: %d", type);
        return UNPARSABLE;
    }
    if (bytes.size() < HEADER_SIZE) {
        return 0;
    }
    m_type = DEVICE_MSG_CLIPBOARD;

    QBuffer buffer(&bytes);
    buffer.open(QBuffer::ReadOnly);
    buffer.seek(1);

    const quint32 length = BufferUtil::read32(buffer);
    // A length no byte array can hold would otherwise overflow the returned size.
    if (length > static_cast<quint32>(std::numeric_limits<int>::max() - HEADER_SIZE)) {
        qWarning("Device clipboard msg too long: %u", length);
        return UNPARSABLE;
    }
    const int total = HEADER_SIZE + static_cast<int>(length);
    if (bytes.size() < total) {
        return 0;
    }
    m_message = bytes.left(total);
    return total;
}

qint64 DeviceMsg::announcedSize(const QByteArray& head)
{
    if (head.size() < HEADER_SIZE || head.at(0) != DEVICE_MSG_CLIPBOARD) {
        return 0;
    }
    quint32 length = 0;
    for (int i = 1; i < HEADER_SIZE; ++i) {
        length = (length << 8) | static_cast<quint8>(head.at(i));
    }
    return HEADER_SIZE + static_cast<qint64>(length);
}

void DeviceMsg::getClipboardMsgData(QString& text) const
{
    text = clipboardTextOf(m_message);
}

QString DeviceMsg::clipboardTextOf(const QByteArray& message)
{
    if (message.size() <= HEADER_SIZE) {
        return QString();
    }
    // The text ends at its first NUL, as it always has here.
    const char* text = message.constData() + HEADER_SIZE;
    const uint length = qstrnlen(text, static_cast<uint>(message.size() - HEADER_SIZE));
    return QString::fromUtf8(text, static_cast<int>(length));
}

} // namespace dvk
