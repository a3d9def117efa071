#ifndef INPUTCONVERTNORMAL_H
#define INPUTCONVERTNORMAL_H

#include <QPoint>

#include "controller/AndroidEnums.h"
#include "controller/inputconvert/InputConvertBase.h"

namespace dvk {

// Input without a keymap: the mouse is one finger, the wheel scrolls, keys are Android keys.
class InputConvertNormal : public InputConvertBase
{
    Q_OBJECT
public:
    explicit InputConvertNormal(Controller* controller);
    ~InputConvertNormal() override;

    void mouseEvent(const QMouseEvent* event, const QSize& frameSize, const QSize& showSize) override;
    void wheelEvent(const QWheelEvent* event, const QSize& frameSize, const QSize& showSize) override;
    void keyEvent(const QKeyEvent* event, const QSize& frameSize, const QSize& showSize) override;

    static AndroidMotioneventButtons convertMouseButtons(Qt::MouseButtons buttons);
    static AndroidKeycode convertKeyCode(int key, Qt::KeyboardModifiers modifiers);
    static AndroidMetastate convertMetastate(Qt::KeyboardModifiers modifiers);
    // Maps a point of the shown area onto the frame, rounding halves up.
    static QPoint mapToFrame(const QPointF& localPos, const QSize& frameSize, const QSize& showSize);

private:
    void sendTypedText(const QKeyEvent* event);
    static AndroidKeycode convertEditingKey(int key);
    static AndroidKeycode convertPrintableKey(int key);
};

} // namespace dvk

#endif // INPUTCONVERTNORMAL_H
