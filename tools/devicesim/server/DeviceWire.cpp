#include "DeviceWire.h"

namespace sim {

namespace {

void putBe16(QByteArray& b, quint32 v)
{
    b.append(char((v >> 8) & 0xFF));
    b.append(char(v & 0xFF));
}

void putBe32(QByteArray& b, quint32 v)
{
    putBe16(b, v >> 16);
    putBe16(b, v);
}

} // namespace

QByteArray DeviceWire::deviceInfo(const QString& name, const QSize& frameSize)
{
    QByteArray info(64, '\0');
    const QByteArray utf8 = name.toUtf8().left(63);
    info.replace(0, utf8.size(), utf8);
    putBe16(info, static_cast<quint32>(frameSize.width()));
    putBe16(info, static_cast<quint32>(frameSize.height()));
    return info;
}

QByteArray DeviceWire::packetHeader(qint64 pts, quint32 length)
{
    QByteArray header;
    putBe32(header, quint32(quint64(pts) >> 32));
    putBe32(header, quint32(quint64(pts)));
    putBe32(header, length);
    return header;
}

QByteArray DeviceWire::deviceMessage(quint8 type, const QByteArray& payload)
{
    QByteArray message(1, char(type));
    putBe32(message, static_cast<quint32>(payload.size()));
    return message + payload;
}

QByteArray DeviceWire::clipboardMessage(const QString& text)
{
    return deviceMessage(0, text.toUtf8());
}

} // namespace sim
