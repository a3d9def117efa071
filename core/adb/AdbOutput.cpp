#include "adb/AdbOutput.h"

namespace dvk {

void AdbOutput::append(const QByteArray& piece)
{
    if (piece.isEmpty()) {
        return;
    }
    m_raw.append(piece);
    m_decoded = false;
}

void AdbOutput::clear()
{
    m_raw.clear();
    m_text.clear();
    m_decoded = true;
}

const QString& AdbOutput::text() const
{
    if (!m_decoded) {
        m_text = QString::fromUtf8(m_raw).trimmed();
        m_decoded = true;
        ++m_decodeCount;
    }
    return m_text;
}

} // namespace dvk
