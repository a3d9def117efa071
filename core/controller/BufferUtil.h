#ifndef BUFFERUTIL_H
#define BUFFERUTIL_H

#include <QBuffer>

namespace dvk {

// Big-endian integers on an open QBuffer. The readers do not check for the end of the data:
// callers make sure enough bytes remain before reading.
class BufferUtil
{
public:
    static void write16(QBuffer& buffer, quint32 value);
    static void write32(QBuffer& buffer, quint32 value);
    static void write64(QBuffer& buffer, quint64 value);
    static quint16 read16(QBuffer& buffer);
    static quint32 read32(QBuffer& buffer);
    static quint64 read64(QBuffer& buffer);

private:
    static void writeBigEndian(QBuffer& buffer, quint64 value, int bytes);
    static quint64 readBigEndian(QBuffer& buffer, int bytes);
};

} // namespace dvk

#endif // BUFFERUTIL_H
