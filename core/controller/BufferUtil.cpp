#include "controller/BufferUtil.h"

namespace dvk {

void BufferUtil::write16(QBuffer& buffer, quint32 value)
{
    writeBigEndian(buffer, value, 2);
}

void BufferUtil::write32(QBuffer& buffer, quint32 value)
{
    writeBigEndian(buffer, value, 4);
}

void BufferUtil::write64(QBuffer& buffer, quint64 value)
{
    writeBigEndian(buffer, value, 8);
}

quint16 BufferUtil::read16(QBuffer& buffer)
{
    return static_cast<quint16>(readBigEndian(buffer, 2));
}

quint32 BufferUtil::read32(QBuffer& buffer)
{
    return static_cast<quint32>(readBigEndian(buffer, 4));
}

quint64 BufferUtil::read64(QBuffer& buffer)
{
    return readBigEndian(buffer, 8);
}

void BufferUtil::writeBigEndian(QBuffer& buffer, quint64 value, int bytes)
{
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
        buffer.putChar(static_cast<char>((value >> shift) & 0xFF));
    }
}

quint64 BufferUtil::readBigEndian(QBuffer& buffer, int bytes)
{
    quint64 value = 0;
    for (int i = 0; i < bytes; ++i) {
        char c = 0;
        buffer.getChar(&c);
        value = (value << 8) | static_cast<quint8>(c);
    }
    return value;
}

} // namespace dvk
