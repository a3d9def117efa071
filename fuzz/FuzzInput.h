#ifndef FUZZINPUT_H
#define FUZZINPUT_H

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fuzz {

// Draws typed values from the front of a fuzz input; once it is used up every draw yields zero,
// so a target never reads past the bytes it was given.
class FuzzInput
{
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    size_t remaining() const { return m_size - m_pos; }

    template <typename T> T take()
    {
        T value{};
        const size_t n = sizeof(T) < remaining() ? sizeof(T) : remaining();
        std::memcpy(&value, m_data + m_pos, n);
        m_pos += n;
        return value;
    }

    bool takeBool() { return take<uint8_t>() & 1; }

    // A value in [lo, hi]; hi - lo must fit in 32 bits.
    uint32_t takeInRange(uint32_t lo, uint32_t hi)
    {
        const uint32_t span = hi - lo;
        return span == UINT32_MAX ? take<uint32_t>() : lo + take<uint32_t>() % (span + 1);
    }

    QByteArray takeBytes(size_t count)
    {
        const size_t n = count < remaining() ? count : remaining();
        const QByteArray bytes(reinterpret_cast<const char*>(m_data + m_pos), static_cast<int>(n));
        m_pos += n;
        return bytes;
    }

    // A length-prefixed piece, at most maxLength bytes.
    QByteArray takeSizedBytes(size_t maxLength) { return takeBytes(take<uint16_t>() % (maxLength + 1)); }

    // UTF-16 code units straight from the input: unpaired surrogates included.
    QString takeUtf16(size_t maxUnits)
    {
        const QByteArray raw = takeBytes((take<uint16_t>() % (maxUnits + 1)) * 2);
        return QString(reinterpret_cast<const QChar*>(raw.constData()), raw.size() / 2);
    }

    QByteArray takeRest() { return takeBytes(remaining()); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace fuzz

#endif // FUZZINPUT_H
