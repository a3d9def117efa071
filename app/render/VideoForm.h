#ifndef VIDEOFORM_H
#define VIDEOFORM_H

#include <QPointer>
#include <QSet>
#include <QSize>

#include "DropAreaBase.h"
#include "device/DeviceObserver.h"

namespace Ui {
class videoForm;
}

class QPushButton;
class QShortcut;
class QYUVOpenGLWidget;

namespace dvk {
class IDevice;
}

// Shows one device at its aspect ratio and turns mouse, wheel and key input on it into calls on
// that device. Lives inside the main window, which owns full screen.
class VideoForm : public DropAreaBase, public dvk::DeviceObserver
{
    Q_OBJECT
public:
    explicit VideoForm(QWidget* parent = nullptr);
    ~VideoForm() override;

    void onFrame(int width, int height, uint8_t* dataY, uint8_t* dataU, uint8_t* dataV, int linesizeY,
                 int linesizeU, int linesizeV) override;
    void grabCursor(bool grab) override;

    const QSize& frameSize();
    void clearVideo();
    bool isWirelessConnected();
    QRect getGrabCursorRect();
    // The grab rectangle, in physical pixels, of a video area at a logical global position.
    static QRect grabCursorRect(const QPoint& globalTopLeft, const QSize& size, qreal devicePixelRatio);

signals:
    void fullScreenSwitch(bool flag);
    void mouseEnter();
    void mouseLeave();
    void switchWireless();
    // The device's picture changed its size; also for the first picture.
    void frameSizeChanged(const QSize& size);

private slots:
    void onSwitchFullScreen();
    void onShowQuickBar();
    void onHideQuickBar();
    void onWirelessClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void initUI();
    void prepareVideoWidget();
    void initQuickBar();
    void updateQuickBar();
    void installShortcut();
    QShortcut* makeShortcut(const QString& keys, bool autoRepeat);
    void addDeviceShortcut(const QString& keys, void (dvk::IDevice::*action)(), bool autoRepeat = false);
    void addDeviceShortcut(const QString& keys, void (dvk::IDevice::*action)(bool), bool argument);
    void resizeToGoodSize();

    QPointer<dvk::IDevice> device() const;
    bool parentIsFullScreen() const;
    bool insideVideo(const QPointF& pos) const;
    QSize videoSize() const;
    void forwardMouse(QMouseEvent* event, bool clampToVideo);
    void forwardPress(QMouseEvent* event);
    static quint64 keyIdentity(const QKeyEvent* event);
    void updateInputMethod();

    Ui::videoForm* ui;
    QPointer<QYUVOpenGLWidget> m_videoWidget;
    QPointer<QPushButton> m_fullScreenButton;
    QPointer<QPushButton> m_normalScreenButton;
    QPointer<QPushButton> m_wirelessButton;
    QSize m_frameSize = {-1, -1};
    float m_widthHeightRatio = -1.0f;
    // Presses the device was sent, so that it is never sent a release it did not see pressed.
    Qt::MouseButtons m_forwardedButtons = Qt::NoButton;
    QSet<quint64> m_forwardedKeys;
};

#endif // VIDEOFORM_H
