#ifndef CONTROLBYTES_H
#define CONTROLBYTES_H

#include <QByteArray>

// Expected wire bytes written the way the tests read best: "00 01 0000012C".
inline QByteArray hexBytes(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A 32-bit field as it stands on the control connection, most significant byte first.
inline QByteArray be32(qint32 value)
{
    QByteArray bytes;
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.append(static_cast<char>((static_cast<quint32>(value) >> shift) & 0xFF));
    }
    return bytes;
}

#endif // CONTROLBYTES_H
