#ifndef INPUTCONVERTGAME_H
#define INPUTCONVERTGAME_H

#include <QPointF>
#include <QPointer>
#include <QQueue>

#include <functional>
#include <optional>

#include "controller/KeyMap.h"
#include "controller/inputconvert/InputConvertNormal.h"

class QTimer;

namespace dvk {

// Input through a keymap. Normal input until the keymap's switch key is pressed; then, in game
// mode, keys and mouse buttons become multi-touch gestures with up to ten fingers, and mouse
// movement drags a view finger.
class InputConvertGame : public InputConvertNormal
{
    Q_OBJECT
public:
    static constexpr int MAX_TOUCH = 10;
    // Owner of the view finger's slot; no key or button has this value in practice.
    static constexpr int VIEW_KEY = 0x4000000;

    explicit InputConvertGame(Controller* controller);
    ~InputConvertGame() override;

    void loadKeyMap(const QString& json);
    const KeyMap& keyMap() const { return *m_keyMap; }

    void mouseEvent(const QMouseEvent* event, const QSize& frameSize, const QSize& showSize) override;
    void wheelEvent(const QWheelEvent* event, const QSize& frameSize, const QSize& showSize) override;
    void keyEvent(const QKeyEvent* event, const QSize& frameSize, const QSize& showSize) override;
    bool isCurrentCustomKeymap() override;

    // Drag and steer paths: a point every hundredth of the screen, each moved by up to this much.
    static constexpr double kPathStep = 0.01;
    static constexpr double kPathJitter = 0.002;

    // The path of a drag or steer: points step apart from start toward end, each jittered, each
    // with a delay drawn from lowest to highest - 1 milliseconds.
    static void getDelayQueue(const QPointF& start, const QPointF& end, double step, double jitter,
                              quint32 lowest, quint32 highest, QQueue<QPointF>& positions, QQueue<quint32>& delays);

protected:
    void timerEvent(QTimerEvent* event) override;

private slots:
    void onSteerWheelTimer();
    void onDragTimer();

private:
    // Touch slots: slot i is pointer id i; 0 marks a free slot, otherwise the owning key.
    int attachTouchID(int key);
    int getTouchID(int key) const;
    void detachTouchID(int key);
    void sendTouchDownEvent(int id, QPointF pos);
    void sendTouchMoveEvent(int id, QPointF pos);
    void sendTouchUpEvent(int id, QPointF pos);
    void sendTouchEvent(int id, QPointF pos, AndroidMotioneventAction action);
    QPointF calcFrameAbsolutePos(QPointF pos) const;
    void releaseTouch(int key, const QPointF& pos);
    void releaseAllTouches();

    bool switchGameMap();
    void hideMouseCursor(bool hide);
    void updateSize(const QSize& frameSize, const QSize& showSize);
    void dispatchGameKey(const KeyMap::KeyMapNode& node, const QKeyEvent* event);
    bool isSmallEyes(KeyMap::ActionType type, int key) const;
    void resetGameState();
    void processKeyClick(const QPointF& pos, bool clickTwice, bool switchMap, const QKeyEvent* event);
    void processKeyClickMulti(const KeyMap::DelayClickNode* nodes, int count, int key);
    bool processMouseClick(const QMouseEvent* event);
    void processKeyDrag(const QPointF& start, QPointF end, int key);
    void stopDrag();
    void runAfter(int ms, std::function<void()> step);

    // Steer wheel and view control.
    void processSteerWheel(const KeyMap::KeyMapNode& node, KeyMap::ActionType type, int key, bool pressed);
    void stopSteerWheel();
    bool processMouseMove(const QMouseEvent* event);
    bool checkCursorPos(const QMouseEvent* event);
    void mouseMoveStartTouch();
    void mouseMoveStopTouch();
    void startMouseMoveTimer();
    void stopMouseMoveTimer();
    void processSmallEyes(bool pressed);
    void recentreViewLater();

    KeyMap* m_keyMap;
    QSize m_frameSize{-1, -1};
    QSize m_showSize{-1, -1};
    bool m_gameMap = false;
    // In game mode: the pointer is shown and the mouse acts normally.
    bool m_freeCursor = false;
    // Whether this converter has an override cursor of its own in place.
    bool m_cursorHidden = false;
    int m_multiTouchID[MAX_TOUCH] = {};
    // Last position sent for each pointer id, where a finger still down is lifted.
    QPointF m_touchPos[MAX_TOUCH];
    // The pixel each finger was last sent at, for dropping moves that stay on it.
    std::optional<QPoint> m_lastPixel[MAX_TOUCH];

    QPointer<QTimer> m_dragTimer;
    QQueue<QPointF> m_dragPositions;
    QQueue<quint32> m_dragDelays;
    int m_dragKey = 0;
    QPointF m_dragPos;

    bool m_steerUp = false;
    bool m_steerDown = false;
    bool m_steerLeft = false;
    bool m_steerRight = false;
    int m_steerPressedCount = 0;
    int m_steerKey = Qt::Key_unknown;
    QPointF m_steerPos;
    QTimer* m_steerTimer = nullptr;
    QQueue<QPointF> m_steerPositions;
    QQueue<quint32> m_steerDelays;

    bool m_viewFingerDown = false;
    QPointF m_viewPos;
    QPointF m_lastCursorPos;
    bool m_viewMovesEnabled = true;
    bool m_smallEyesHeld = false;
    int m_viewTimer = 0;
};

} // namespace dvk

#endif // INPUTCONVERTGAME_H
