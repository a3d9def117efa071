#ifndef DEVICEMSG_H
#define DEVICEMSG_H

#include <QByteArray>
#include <QObject>
#include <QString>

namespace dvk {

// One message the device sends back on the control socket.
class DeviceMsg : public QObject
{
    Q_OBJECT
public:
    enum DeviceMsgType : int {
        DEVICE_MSG_NONE = -1,
        DEVICE_MSG_CLIPBOARD = 0,
    };

    // Result of deserialize for bytes that can never become a message of this system.
    static constexpr int UNPARSABLE = -1;

    static constexpr int HEADER_SIZE = 5;

    explicit DeviceMsg(QObject* parent = nullptr);
    ~DeviceMsg() override;

    // Returns the size of the complete message at the front of bytes, 0 when more bytes are
    // needed, or UNPARSABLE for a message this system cannot frame.
    int deserialize(QByteArray& bytes);
    DeviceMsgType type() const { return m_type; }
    // The whole size a clipboard message announces in its header, or 0 when head cannot tell.
    static qint64 announcedSize(const QByteArray& head);
    void getClipboardMsgData(QString& text) const;
    // The whole clipboard message, header included, shared with the bytes it was parsed from.
    const QByteArray& clipboardMsgBytes() const { return m_message; }
    // The text of a whole clipboard message, decoded from UTF-8.
    static QString clipboardTextOf(const QByteArray& message);

private:
    DeviceMsgType m_type = DEVICE_MSG_NONE;
    // Kept as parsed rather than copied out of the bytes it came in: on a slow machine each
    // pass over 10 MB costs tens of milliseconds of the window's time.
    QByteArray m_message;
};

} // namespace dvk

#endif // DEVICEMSG_H
