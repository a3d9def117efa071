#ifndef CONTROLMSG_H
#define CONTROLMSG_H

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QStringList>

#include "QDravikEvent.h"
#include "controller/AndroidEnums.h"

class QBuffer;

namespace dvk {

// Pointer id of the single finger the mouse drives (all 64 bits set).
constexpr quint64 MOUSE_POINTER_ID = ~quint64(0);

// One control message to the device. It is an event so that it can be posted to the controller,
// which writes its bytes when the event loop delivers it. Messages travel back to back on the
// control socket; each one's fixed layout is its only framing.
class ControlMsg : public QDravikEvent
{
public:
    enum ControlMsgType : int {
        CONTROL_INJECT_KEYCODE = 0,
        CONTROL_INJECT_TEXT = 1,
        CONTROL_INJECT_TOUCH = 2,
        CONTROL_INJECT_SCROLL = 3,
        CONTROL_BACK_OR_SCREEN_ON = 4,
        CONTROL_EXPAND_NOTIFICATION_PANEL = 5,
        CONTROL_RESERVED_6 = 6,
        CONTROL_COLLAPSE_PANEL = 7,
        CONTROL_GET_CLIPBOARD = 8,
        CONTROL_SET_CLIPBOARD = 9,
        CONTROL_SET_SCREEN_POWER_MODE = 10,
        CONTROL_RESERVED_11 = 11,
    };

    enum ScreenPowerMode : int {
        SCREEN_POWER_OFF = 0,
        SCREEN_POWER_NORMAL = 2,
    };

    enum GetClipboardCopyKey : int {
        COPY_KEY_COPY = 1,
        COPY_KEY_CUT = 2,
    };

    // Both limits count UTF-16 code units before conversion to UTF-8.
    static constexpr int TEXT_MAX_LENGTH = 300;
    static constexpr int CLIPBOARD_TEXT_MAX_LENGTH = 0x3FFFA;

    explicit ControlMsg(ControlMsgType type);
    ~ControlMsg() override;

    ControlMsgType type() const { return m_type; }

    void setInjectKeycodeMsgData(AndroidKeyeventAction action, AndroidKeycode keycode, quint32 repeat,
                                 AndroidMetastate metastate);
    // Cuts the caller's string to TEXT_MAX_LENGTH code units when it is longer.
    void setInjectTextMsgData(QString& text);
    void setInjectTouchMsgData(quint64 id, AndroidMotioneventAction action, AndroidMotioneventButtons buttons,
                               QRect position, float pressure);
    void setInjectScrollMsgData(QRect position, qint32 horizontal, qint32 vertical);
    void setGetClipboardMsgData(GetClipboardCopyKey key);
    // Cuts the caller's string to CLIPBOARD_TEXT_MAX_LENGTH code units; an empty string stores nothing.
    void setSetClipboardMsgData(QString& text, bool paste);
    void setSetScreenPowerModeData(ScreenPowerMode mode);
    void setBackOrScreenOnData(bool down);

    QByteArray serializeData() const;

    // What a message carries, for a channel that speaks something else than these bytes.
    // Each getter is meaningful only for the types its name gives.
    AndroidKeyeventAction keyAction() const { return m_data.injectKeycode.action; }
    AndroidKeycode keycode() const { return m_data.injectKeycode.keycode; }
    quint32 keyRepeat() const { return m_data.injectKeycode.repeat; }
    quint64 touchId() const { return m_data.injectTouch.id; }
    AndroidMotioneventAction touchAction() const { return m_data.injectTouch.action; }
    // The point and the frame size it was measured in.
    QRect touchPosition() const { return toRect(m_data.injectTouch.position); }
    QRect scrollPosition() const { return toRect(m_data.injectScroll.position); }
    qint32 scrollVertical() const { return m_data.injectScroll.vertical; }
    bool backOrScreenOnDown() const { return m_data.backOrScreenOn.action == AKEY_EVENT_ACTION_DOWN; }
    bool clipboardPaste() const { return m_data.setClipboard.paste; }
    QString text() const { return QString::fromUtf8(m_text); }

    static quint16 toFixedPoint16(float value);
    // Shortens text to at most maxUnits UTF-16 code units without splitting a surrogate pair.
    static QString cutText(const QString& text, int maxUnits);
    // Cuts text into pieces of at most maxUnits code units, in order, none ending inside a surrogate pair.
    static QStringList splitText(const QString& text, int maxUnits);

private:
    struct Position
    {
        qint32 x;
        qint32 y;
        quint16 width;
        quint16 height;
    };

    void writePosition(QBuffer& buffer, const Position& position) const;
    void writeText(QBuffer& buffer) const;
    static Position toPosition(const QRect& rect);
    static QRect toRect(const Position& position) { return QRect(position.x, position.y, position.width, position.height); }

    ControlMsgType m_type;
    // The payloads share storage; which one is valid follows from m_type.
    union {
        struct
        {
            AndroidKeyeventAction action;
            AndroidKeycode keycode;
            quint32 repeat;
            AndroidMetastate metastate;
        } injectKeycode;
        struct
        {
            quint64 id;
            AndroidMotioneventAction action;
            AndroidMotioneventButtons buttons;
            Position position;
            float pressure;
        } injectTouch;
        struct
        {
            Position position;
            qint32 horizontal;
            qint32 vertical;
        } injectScroll;
        struct
        {
            GetClipboardCopyKey copyKey;
        } getClipboard;
        struct
        {
            quint64 sequence;
            bool paste;
        } setClipboard;
        struct
        {
            ScreenPowerMode mode;
        } setScreenPowerMode;
        struct
        {
            AndroidKeyeventAction action;
        } backOrScreenOn;
    } m_data;
    // UTF-8 text of CONTROL_INJECT_TEXT and CONTROL_SET_CLIPBOARD, owned by the message.
    QByteArray m_text;
};

} // namespace dvk

#endif // CONTROLMSG_H
