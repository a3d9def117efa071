#ifndef ADBOUTPUT_H
#define ADBOUTPUT_H

#include <QByteArray>
#include <QString>

namespace dvk {

// One output stream of an adb command. The bytes are kept as they arrive and decoded and
// trimmed once when the text is read: decoding the whole output again on every arrival made
// collecting a large output (a logcat dump) quadratic in its size. Keeping bytes also keeps a
// line break or a UTF-8 sequence that is split across two arrivals intact.
class AdbOutput
{
public:
    void append(const QByteArray& piece);
    void clear();
    // The output decoded as UTF-8 with leading and trailing white space removed.
    const QString& text() const;
    // How many times the bytes were decoded so far.
    int decodeCount() const { return m_decodeCount; }

private:
    QByteArray m_raw;
    mutable QString m_text;
    mutable bool m_decoded = true;
    mutable int m_decodeCount = 0;
};

} // namespace dvk

#endif // ADBOUTPUT_H
