#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

namespace sim {

// The bytes the server writes to the application: the device information record, the header
// of each video packet and the clipboard device message. Integers are big-endian.
class DeviceWire
{
public:
    // 64 bytes of name (at most 63 of them used, zero-filled), then width and height.
    static QByteArray deviceInfo(const QString& name, const QSize& frameSize);
    // 8 bytes of presentation time (all ones for a configuration packet), 4 of length.
    static QByteArray packetHeader(qint64 pts, quint32 length);
    // A device message: its type, a 4-byte length, the payload.
    static QByteArray deviceMessage(quint8 type, const QByteArray& payload);
    // The clipboard message (type 0) with the UTF-8 text.
    static QByteArray clipboardMessage(const QString& text);
};

} // namespace sim
