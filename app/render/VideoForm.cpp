#include "VideoForm.h"

#include <QDebug>
#include <QInputMethodEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStyleOption>
#include <QTimer>
#include <QWheelEvent>

#include <climits>
#include <cmath>

#include "KeepRatioWidget.h"
#include "MouseTap.h"
#include "QYUVOpenGLWidget.h"
#include "WindowFit.h"
#include "controller/ControlMsg.h"
#include "device/DeviceSerial.h"
#include "device/IDevice.h"
#include "device/IDeviceManage.h"
#include "ui_videoform.h"

namespace {

// Where the quick bar's lower-right button sits, in from the form's bottom-right corner.
const int kQuickBarMargin = 26;

// The sizes the quick bar's images are drawn for.
const QSize kScreenButtonSize(43, 43);
const QSize kWirelessButtonSize(206, 85);

// The grab rectangle stays this far inside the video, so that the grabbed pointer never reaches the
// window's border, where a press would move or resize the window instead of reaching the device. The
// far margin is wider: the pointer's image reaches right and down from its hot spot.
constexpr int kGrabNearMargin = 10;
constexpr int kGrabFarMargin = 20;

QPushButton* makeQuickBarButton(QWidget* parent, const QSize& size, const QString& styleSheet)
{
    auto* button = new QPushButton(parent);
    button->setFixedSize(size);
    button->setStyleSheet(styleSheet);
    button->setFocusPolicy(Qt::NoFocus);
    button->hide();
    return button;
}

const char* const kFullScreenStyle =
    "QPushButton{background:transparent; border-image:url(:/images/quickbar/fullscreen.png);}"
    "QPushButton:hover{background:transparent; border-image:url(:/images/quickbar/fullscreen_h.png);}"
    "QPushButton:pressed{background:transparent; border-image:url(:/images/quickbar/fullscreen_h.png);}";

const char* const kNormalScreenStyle =
    "QPushButton{background:transparent; border-image:url(:/images/quickbar/normalscreen.png);}"
    "QPushButton:hover{background:transparent; border-image:url(:/images/quickbar/normalscreen_h.png);}"
    "QPushButton:pressed{background:transparent; border-image:url(:/images/quickbar/normalscreen_h.png);}";

// White text on the button's image, the accent colour under the mouse.
const char* const kWirelessStyle =
    "QPushButton{background:transparent; border-image:url(:/images/quickbar/bg_button.png);color:white;"
    "font-size: 21px;text-align:top;padding-top:22px;}"
    "QPushButton:hover{background:transparent; border-image:url(:/images/quickbar/bg_button.png);color:#428AFF;"
    "font-size: 21px;text-align:top;padding-top:22px;}"
    "QPushButton:pressed{background:transparent; border-image:url(:/images/quickbar/bg_button.png);color:#428AFF;"
    "font-size: 21px;text-align:top;padding-top:22px;}";

} // namespace

VideoForm::VideoForm(QWidget* parent) : DropAreaBase(parent), ui(new Ui::videoForm)
{
    ui->setupUi(this);
    initUI();
    initQuickBar();
    installShortcut();
    setStyleSheet("QWidget {background: #0A0F1B;}");
}

VideoForm::~VideoForm()
{
    delete m_fullScreenButton;
    delete m_normalScreenButton;
    delete ui;
}

void VideoForm::initUI()
{
    m_videoWidget = new QYUVOpenGLWidget();
    m_videoWidget->hide();
    ui->keepRatioWidget->setWidget(m_videoWidget);
    ui->keepRatioWidget->setWidthHeightRatio(m_widthHeightRatio);

    // Input methods type what no key can: Chinese, Japanese, Korean, accents through dead keys.
    setAttribute(Qt::WA_InputMethodEnabled);
    setMouseTracking(true);
    m_videoWidget->setMouseTracking(true);
    ui->keepRatioWidget->setMouseTracking(true);

    connect(this, &VideoForm::mouseEnter, this, &VideoForm::onShowQuickBar);
    connect(this, &VideoForm::mouseLeave, this, &VideoForm::onHideQuickBar);
}

void VideoForm::initQuickBar()
{
    m_fullScreenButton = makeQuickBarButton(this, kScreenButtonSize, kFullScreenStyle);
    m_normalScreenButton = makeQuickBarButton(this, kScreenButtonSize, kNormalScreenStyle);
    m_wirelessButton = makeQuickBarButton(this, kWirelessButtonSize, kWirelessStyle);
    m_wirelessButton->setText(tr("Wireless"));
    m_fullScreenButton->setObjectName("fullScreenButton");
    m_normalScreenButton->setObjectName("normalScreenButton");
    m_wirelessButton->setObjectName("wirelessButton");

    connect(m_fullScreenButton, &QPushButton::clicked, this, &VideoForm::onSwitchFullScreen);
    connect(m_normalScreenButton, &QPushButton::clicked, this, &VideoForm::onSwitchFullScreen);
    connect(m_wirelessButton, &QPushButton::clicked, this, &VideoForm::onWirelessClicked);
    updateQuickBar();
}

void VideoForm::updateQuickBar()
{
    const QSize screenButton = m_fullScreenButton->size();
    const QPoint corner(width() - screenButton.width() - kQuickBarMargin,
                        height() - screenButton.height() - kQuickBarMargin);
    m_fullScreenButton->move(corner);
    m_normalScreenButton->move(corner);
    QPoint wireless(width() - screenButton.width() - m_wirelessButton->width() - kQuickBarMargin,
                    height() - m_wirelessButton->height());
    // A form narrower than the bar (a portrait phone's window) has the wireless button above the
    // screen button, inside the form, rather than cut off at its left edge.
    if (wireless.x() < 0) {
        wireless = QPoint(qMax(0, width() - m_wirelessButton->width() - kQuickBarMargin / 2),
                          corner.y() - m_wirelessButton->height());
    }
    m_wirelessButton->move(wireless);
}

void VideoForm::onFrame(int width, int height, uint8_t* dataY, uint8_t* dataU, uint8_t* dataV, int linesizeY,
                        int linesizeU, int linesizeV)
{
    if (m_videoWidget->isHidden()) {
        m_videoWidget->show();
    }
    const QSize newSize(width, height);
    if (newSize != m_frameSize) {
        m_frameSize = newSize;
        m_widthHeightRatio = float(width) / float(height);
        ui->keepRatioWidget->setWidthHeightRatio(m_widthHeightRatio);
        emit frameSizeChanged(newSize);
    }
    // A negative line size (a bottom-up picture) would read far outside the plane.
    if (linesizeY < 0 || linesizeU < 0 || linesizeV < 0) {
        qDebug("onFrame: negative line size dropped");
        return;
    }
    m_videoWidget->setFrameSize(newSize);
    m_videoWidget->updateTextures(dataY, dataU, dataV, quint32(linesizeY), quint32(linesizeU), quint32(linesizeV));
}

const QSize& VideoForm::frameSize()
{
    return m_frameSize;
}

void VideoForm::clearVideo()
{
    m_videoWidget->clear();
}

bool VideoForm::isWirelessConnected()
{
    return dvk::DeviceSerial::isWireless(serial());
}

void VideoForm::onSwitchFullScreen()
{
    const bool fullScreen = parentIsFullScreen();
    if (fullScreen) {
        m_normalScreenButton->hide();
    } else {
        m_fullScreenButton->hide();
        m_normalScreenButton->show();
    }
    emit fullScreenSwitch(!fullScreen);
}

void VideoForm::onShowQuickBar()
{
    if (parentIsFullScreen()) {
        m_normalScreenButton->show();
    } else {
        m_fullScreenButton->show();
    }
    if (!isWirelessConnected()) {
        m_wirelessButton->show();
    }
}

void VideoForm::onHideQuickBar()
{
    if (parentIsFullScreen()) {
        m_normalScreenButton->hide();
    } else {
        m_fullScreenButton->hide();
    }
    m_wirelessButton->hide();
}

void VideoForm::onWirelessClicked()
{
    emit switchWireless();
}

QPointer<dvk::IDevice> VideoForm::device() const
{
    return dvk::IDeviceManage::getInstance().getDevice(serial());
}

bool VideoForm::parentIsFullScreen() const
{
    return parentWidget() && parentWidget()->isFullScreen();
}

bool VideoForm::insideVideo(const QPointF& pos) const
{
    return m_videoWidget->geometry().contains(pos.toPoint());
}

QSize VideoForm::videoSize() const
{
    return m_videoWidget->size();
}

void VideoForm::forwardMouse(QMouseEvent* event, bool clampToVideo)
{
    QPointer<dvk::IDevice> target = device();
    if (!target) {
        return;
    }
    // The form's coordinates shifted into the video widget's, keeping fractions of a pixel.
    QPointF local = event->localPos() + QPointF(m_videoWidget->mapFrom(this, QPoint(0, 0)));
    if (clampToVideo) {
        local.setX(qBound(0.0, local.x(), qreal(videoSize().width())));
        local.setY(qBound(0.0, local.y(), qreal(videoSize().height())));
    }
    event->setLocalPos(local);
    target->mouseEvent(event, m_videoWidget->frameSize(), videoSize());
}

void VideoForm::forwardPress(QMouseEvent* event)
{
    m_forwardedButtons |= event->button();
    forwardMouse(event, false);
}

void VideoForm::mousePressEvent(QMouseEvent* event)
{
    QPointer<dvk::IDevice> target = device();
    if (!target) {
        return;
    }
    if (event->button() == Qt::MiddleButton && !target->isCurrentCustomKeymap()) {
        target->postGoHome();
        return;
    }
    if (event->button() == Qt::RightButton && !target->isCurrentCustomKeymap()) {
        target->postBackOrScreenOn(true);
        return;
    }
    if (!insideVideo(event->localPos())) {
        return;
    }
    forwardPress(event);
    updateInputMethod();
    if (event->button() == Qt::LeftButton) {
        // A relative position in the form a key map file takes.
        const QPointF local = event->localPos();
        qInfo().noquote() << QString(R"("pos": {"x": %1, "y": %2})")
                                 .arg(local.x() / videoSize().width())
                                 .arg(local.y() / videoSize().height());
    }
}

void VideoForm::mouseReleaseEvent(QMouseEvent* event)
{
    QPointer<dvk::IDevice> target = device();
    if (!target) {
        return;
    }
    if (event->button() == Qt::RightButton && !target->isCurrentCustomKeymap()) {
        target->postBackOrScreenOn(false);
        return;
    }
    // A press that went to a button action or landed beside the picture has no release on the device.
    if (!m_forwardedButtons.testFlag(event->button())) {
        return;
    }
    m_forwardedButtons &= ~event->button();
    // A drag that ends outside the video still releases, at the video's edge.
    forwardMouse(event, true);
}

void VideoForm::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && !insideVideo(event->localPos()) && !isMaximized()) {
        resizeToGoodSize();
    }
    // The double click stands for the click's second press, so the device sees two whole taps.
    QMouseEvent press(QEvent::MouseButtonPress, event->localPos(), event->windowPos(), event->screenPos(),
                      event->button(), event->buttons(), event->modifiers(), event->source());
    mousePressEvent(&press);
}

void VideoForm::mouseMoveEvent(QMouseEvent* event)
{
    if (!insideVideo(event->localPos())) {
        return;
    }
    // A drag whose press the device never saw is no drag there.
    if ((event->buttons() & Qt::LeftButton) && !m_forwardedButtons.testFlag(Qt::LeftButton)) {
        return;
    }
    forwardMouse(event, false);
}

void VideoForm::wheelEvent(QWheelEvent* event)
{
    QPointer<dvk::IDevice> target = device();
    if (!target || !insideVideo(event->position())) {
        return;
    }
    const QPointF local = event->position() + QPointF(m_videoWidget->mapFrom(this, QPoint(0, 0)));
    const QWheelEvent wheel(local, event->globalPosition(), event->pixelDelta(), event->angleDelta(), event->buttons(),
                            event->modifiers(), event->phase(), event->inverted(), event->source());
    target->wheelEvent(&wheel, m_videoWidget->frameSize(), videoSize());
}

void VideoForm::keyPressEvent(QKeyEvent* event)
{
    QPointer<dvk::IDevice> target = device();
    if (!target) {
        return;
    }
    if (event->key() == Qt::Key_Escape && !event->isAutoRepeat() && parentIsFullScreen()) {
        onSwitchFullScreen();
        return;
    }
    m_forwardedKeys.insert(keyIdentity(event));
    target->keyEvent(event, m_videoWidget->frameSize(), videoSize());
    updateInputMethod();
}

void VideoForm::keyReleaseEvent(QKeyEvent* event)
{
    QPointer<dvk::IDevice> target = device();
    if (!target) {
        return;
    }
    // Presses taken by a shortcut, a dialog or leaving full screen leave their releases here.
    const quint64 identity = keyIdentity(event);
    if (!m_forwardedKeys.contains(identity)) {
        return;
    }
    if (!event->isAutoRepeat()) {
        m_forwardedKeys.remove(identity);
    }
    target->keyEvent(event, m_videoWidget->frameSize(), videoSize());
}

// The physical key where the platform names it, so that a release matches its press even when a
// modifier changed the key's meaning in between; otherwise the key itself.
quint64 VideoForm::keyIdentity(const QKeyEvent* event)
{
    if (event->nativeScanCode() != 0) {
        return (quint64(1) << 32) | event->nativeScanCode();
    }
    return quint32(event->key());
}

void VideoForm::inputMethodEvent(QInputMethodEvent* event)
{
    // Pre-edit text stays in the input method's own window; only what it commits is typed.
    event->accept();
    QPointer<dvk::IDevice> target = device();
    if (!target || event->commitString().isEmpty()) {
        return;
    }
    // In game mode the keys belong to the keymap.
    if (target->isCurrentCustomKeymap()) {
        return;
    }
    const QStringList pieces =
        dvk::ControlMsg::splitText(event->commitString(), dvk::ControlMsg::TEXT_MAX_LENGTH);
    for (QString piece : pieces) {
        target->postTextInput(piece);
    }
}

QVariant VideoForm::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query != Qt::ImCursorRectangle) {
        return DropAreaBase::inputMethodQuery(query);
    }
    // The candidate window opens next to the middle of the picture.
    const QPoint centre(m_videoWidget->width() / 2, m_videoWidget->height() / 2);
    return QRect(m_videoWidget->mapTo(this, centre), QSize(1, 1));
}

// Game mode comes and goes with the keymap's switch key or button. While it is on, an input method
// would take the keys meant for the keymap, so it is switched off.
void VideoForm::updateInputMethod()
{
    QPointer<dvk::IDevice> target = device();
    setAttribute(Qt::WA_InputMethodEnabled, !target || !target->isCurrentCustomKeymap());
}

void VideoForm::enterEvent(QEvent* event)
{
    Q_UNUSED(event)
    emit mouseEnter();
}

void VideoForm::leaveEvent(QEvent* event)
{
    Q_UNUSED(event)
    emit mouseLeave();
}

void VideoForm::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event)
    // Lets the style sheet's background reach a plain QWidget subclass.
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

void VideoForm::resizeEvent(QResizeEvent* event)
{
    Q_UNUSED(event)
    updateQuickBar();
}

void VideoForm::closeEvent(QCloseEvent* event)
{
    QPointer<dvk::IDevice> target = device();
    if (target) {
        WindowFit::remember(window(), target->getSerial());
        target->disconnectDevice();
    }
    event->accept();
}

void VideoForm::showEvent(QShowEvent* event)
{
    Q_UNUSED(event)
    QTimer::singleShot(0, this, &VideoForm::prepareVideoWidget);
}

// Making the video widget's OpenGL context and shaders takes tens of milliseconds under software
// rendering. Done here, in a turn of the event loop of its own, it does not add to the first frame's
// turn; a show and a hide in one go reach the screen as nothing, so the widget still appears with
// the first frame.
void VideoForm::prepareVideoWidget()
{
    if (!isVisible() || !m_videoWidget->isHidden() || m_videoWidget->isValid()) {
        return;
    }
    m_videoWidget->show();
    m_videoWidget->hide();
}

void VideoForm::resizeToGoodSize()
{
    const QSize goodSize = ui->keepRatioWidget->goodSize();
    // Before the first frame there is no ratio to fit; shrinking to nothing would lose the form.
    if (!goodSize.isValid()) {
        return;
    }
    // The window the form is shown in changes by what the bars take, so that the form ends at the
    // good size; a window filling the screen stays as it is.
    QWidget* host = window();
    if (host->isFullScreen() || host->isMaximized()) {
        return;
    }
    host->resize(host->size() - size() + goodSize);
}

void VideoForm::installShortcut()
{
    connect(makeShortcut("Ctrl+w", false), &QShortcut::activated, this, &VideoForm::resizeToGoodSize);

    addDeviceShortcut("Ctrl+h", &dvk::IDevice::postGoHome);
    addDeviceShortcut("Ctrl+b", &dvk::IDevice::postGoBack);
    addDeviceShortcut("Ctrl+s", &dvk::IDevice::postAppSwitch);
    addDeviceShortcut("Ctrl+m", &dvk::IDevice::postGoMenu);
    // Holding a volume key keeps stepping the volume.
    addDeviceShortcut("Ctrl+up", &dvk::IDevice::postVolumeUp, true);
    addDeviceShortcut("Ctrl+down", &dvk::IDevice::postVolumeDown, true);
    addDeviceShortcut("Ctrl+p", &dvk::IDevice::postPower);
    // The device's own screen goes dark while mirroring goes on.
    addDeviceShortcut("Ctrl+o", &dvk::IDevice::setScreenPowerMode, false);
    addDeviceShortcut("Ctrl+n", &dvk::IDevice::expandNotificationPanel);
    addDeviceShortcut("Ctrl+Shift+n", &dvk::IDevice::collapsePanel);
    addDeviceShortcut("Ctrl+c", &dvk::IDevice::postCopy);
    addDeviceShortcut("Ctrl+x", &dvk::IDevice::postCut);
    addDeviceShortcut("Ctrl+v", &dvk::IDevice::setDeviceClipboard, true);
    addDeviceShortcut("Ctrl+Shift+v", &dvk::IDevice::clipboardPaste);
}

QShortcut* VideoForm::makeShortcut(const QString& keys, bool autoRepeat)
{
    auto* shortcut = new QShortcut(QKeySequence(keys), this);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(autoRepeat);
    return shortcut;
}

void VideoForm::addDeviceShortcut(const QString& keys, void (dvk::IDevice::*action)(), bool autoRepeat)
{
    connect(makeShortcut(keys, autoRepeat), &QShortcut::activated, this, [this, action]() {
        QPointer<dvk::IDevice> target = device();
        if (target) {
            (target.data()->*action)();
        }
    });
}

void VideoForm::addDeviceShortcut(const QString& keys, void (dvk::IDevice::*action)(bool), bool argument)
{
    connect(makeShortcut(keys, false), &QShortcut::activated, this, [this, action, argument]() {
        QPointer<dvk::IDevice> target = device();
        if (target) {
            (target.data()->*action)(argument);
        }
    });
}

void VideoForm::grabCursor(bool grab)
{
    MouseTap::getInstance()->enableMouseEventTap(getGrabCursorRect(), grab);
}

QRect VideoForm::getGrabCursorRect()
{
    const QRect video = m_videoWidget->geometry();
    const QPoint global = ui->keepRatioWidget->mapToGlobal(video.topLeft());
    return grabCursorRect(global, video.size(), m_videoWidget->devicePixelRatioF());
}

QRect VideoForm::grabCursorRect(const QPoint& globalTopLeft, const QSize& size, qreal devicePixelRatio)
{
    // Rounded half away from zero.
    const auto nearest = [devicePixelRatio](int logical) { return int(std::round(logical * devicePixelRatio)); };
    const int left = nearest(globalTopLeft.x()) + kGrabNearMargin;
    const int top = nearest(globalTopLeft.y()) + kGrabNearMargin;
    const int right = nearest(globalTopLeft.x() + size.width() - 1) - kGrabFarMargin;
    const int bottom = nearest(globalTopLeft.y() + size.height() - 1) - kGrabFarMargin;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}
