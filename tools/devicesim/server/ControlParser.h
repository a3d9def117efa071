#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>

namespace sim {

// Decodes the control messages the application sends, written from their wire
// tables. Messages arrive back to back with no framing, so a message split
// across reads waits for its remaining bytes.
class ControlParser
{
public:
    // The first byte of every message.
    enum MessageType : quint8
    {
        InjectKeycode = 0,
        InjectText = 1,
        InjectTouch = 2,
        InjectScroll = 3,
        BackOrScreenOn = 4,
        ExpandNotificationPanel = 5,
        Reserved6 = 6,
        CollapsePanel = 7,
        GetClipboard = 8,
        SetClipboard = 9,
        SetScreenPowerMode = 10,
        Reserved11 = 11,
        MessageTypeCount
    };

    enum Result
    {
        Complete,   // one message decoded
        NeedMore,   // the buffer ends inside a message
        Malformed,  // unknown type or impossible length: the stream cannot be followed further
    };

    // Decodes one message from the front of bytes; on Complete, consumed tells
    // how many bytes it took.
    static Result parseOne(const QByteArray& bytes, QJsonObject& message, int& consumed);

    // Appends bytes and decodes every complete message; after Malformed the
    // parser stops for good and reports the error once.
    QList<QJsonObject> feed(const QByteArray& bytes);
    bool failed() const { return m_failed; }

    static constexpr quint32 kMaxTextBytes = 4 * 1024 * 1024;

private:
    QByteArray m_buffer;
    bool m_failed = false;
};

} // namespace sim
