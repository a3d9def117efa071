#ifndef INPUTCONVERTBASE_H
#define INPUTCONVERTBASE_H

#include <QObject>
#include <QPointer>
#include <QSize>

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;

namespace dvk {

class Controller;
class ControlMsg;

// Turns the mouse, wheel and key events shown on the video into control messages. Each event
// comes with the frame size (device pixels) and the size at which the frame is shown; the event's
// position is relative to the shown video area.
class InputConvertBase : public QObject
{
    Q_OBJECT
public:
    explicit InputConvertBase(Controller* controller);
    ~InputConvertBase() override;

    virtual void mouseEvent(const QMouseEvent* event, const QSize& frameSize, const QSize& showSize) = 0;
    virtual void wheelEvent(const QWheelEvent* event, const QSize& frameSize, const QSize& showSize) = 0;
    virtual void keyEvent(const QKeyEvent* event, const QSize& frameSize, const QSize& showSize) = 0;
    virtual bool isCurrentCustomKeymap();

signals:
    void grabCursor(bool grab);
    // The keymap's game mode went on or off.
    void gameModeChanged(bool on);

protected:
    // Hands a filled message to the controller, which takes it; dropped when the controller is gone.
    void sendControlMsg(ControlMsg* msg);

    QPointer<Controller> m_controller;
    // Auto-repeat count of the key being held, shared by all keys.
    qint32 m_repeatCount = 0;
};

} // namespace dvk

#endif // INPUTCONVERTBASE_H
