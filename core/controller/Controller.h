#ifndef CONTROLLER_H
#define CONTROLLER_H

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include <functional>

#include "controller/AndroidEnums.h"
#include "controller/ControlMsg.h"

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

namespace dvk {

class DeviceMsg;
class InputConvertBase;
class Receiver;

// The sender of one device's control channel. Every message is posted to the controller itself
// and written when the event loop delivers it, so nothing is sent inside the caller's stack frame
// and messages leave in the order they were posted.
class Controller : public QObject
{
    Q_OBJECT
public:
    // The writer writes bytes to the control socket and returns how many it took (0 without a socket).
    using Writer = std::function<qint64(const QByteArray&)>;
    // Takes each message in place of the writer, for a device reached without its server.
    using MessageSink = std::function<void(const ControlMsg&)>;

    Controller(Writer writer, QString gameScript, QObject* parent = nullptr);
    ~Controller() override;

    // Replaces the input converter: a keymap text selects keymap conversion, empty selects normal.
    void updateScript(QString gameScript);
    bool isCurrentCustomKeymap();

    void mouseEvent(const QMouseEvent* event, const QSize& frameSize, const QSize& showSize);
    void wheelEvent(const QWheelEvent* event, const QSize& frameSize, const QSize& showSize);
    void keyEvent(const QKeyEvent* event, const QSize& frameSize, const QSize& showSize);

    // Takes msg and posts it to this controller; null is ignored.
    void postControlMsg(ControlMsg* msg);
    void recvDeviceMsg(DeviceMsg* msg);

    void postGoBack();
    void postGoHome();
    void postGoMenu();
    void postAppSwitch();
    void postPower();
    void postVolumeUp();
    void postVolumeDown();
    void copy();
    void cut();
    void postKeyCodeClick(AndroidKeycode keycode);

    void postBackOrScreenOn(bool down);
    void expandNotificationPanel();
    void collapsePanel();
    void setScreenPowerMode(ControlMsg::ScreenPowerMode mode);
    void postTextInput(QString& text);
    void clipboardPaste();
    void setDeviceClipboard(bool paste);
    void getDeviceClipboard(bool cut);
    void requestDeviceClipboard();

    bool sendControl(const QByteArray& buffer);
    // An empty sink gives the messages back to the writer.
    void setMessageSink(MessageSink sink);

signals:
    void grabCursor(bool grab);
    void gameModeChanged(bool on);

protected:
    bool event(QEvent* event) override;

private:
    InputConvertBase* createConverter(const QString& gameScript);
    void postSimpleMsg(ControlMsg::ControlMsgType type);
    // False only without a GUI application (no clipboard at all); the text may be empty.
    static bool computerClipboardText(QString& text);

    QPointer<Receiver> m_receiver;
    QPointer<InputConvertBase> m_inputConvert;
    Writer m_writer;
    MessageSink m_sink;
};

} // namespace dvk

#endif // CONTROLLER_H
