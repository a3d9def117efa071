#include "controller/Controller.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>

#include "controller/DeviceMsg.h"
#include "controller/Receiver.h"
#include "controller/inputconvert/InputConvertGame.h"
#include "controller/inputconvert/InputConvertNormal.h"

namespace dvk {

Controller::Controller(Writer writer, QString gameScript, QObject* parent)
    : QObject(parent), m_writer(std::move(writer))
{
    m_receiver = new Receiver(this);
    updateScript(gameScript);
}

Controller::~Controller() = default;

void Controller::updateScript(QString gameScript)
{
    if (m_inputConvert) {
        delete m_inputConvert;
    }
    m_inputConvert = createConverter(gameScript);
    connect(m_inputConvert, &InputConvertBase::grabCursor, this, &Controller::grabCursor);
    connect(m_inputConvert, &InputConvertBase::gameModeChanged, this, &Controller::gameModeChanged);
}

InputConvertBase* Controller::createConverter(const QString& gameScript)
{
    if (gameScript.isEmpty()) {
        return new InputConvertNormal(this);
    }
    // The text is the keymap itself; a keymap that fails to load still leaves a working converter.
    auto* game = new InputConvertGame(this);
    game->loadKeyMap(gameScript);
    return game;
}

bool Controller::isCurrentCustomKeymap()
{
    return m_inputConvert ? m_inputConvert->isCurrentCustomKeymap() : false;
}

void Controller::mouseEvent(const QMouseEvent* event, const QSize& frameSize, const QSize& showSize)
{
    if (m_inputConvert) {
        m_inputConvert->mouseEvent(event, frameSize, showSize);
    }
}

void Controller::wheelEvent(const QWheelEvent* event, const QSize& frameSize, const QSize& showSize)
{
    if (m_inputConvert) {
        m_inputConvert->wheelEvent(event, frameSize, showSize);
    }
}

void Controller::keyEvent(const QKeyEvent* event, const QSize& frameSize, const QSize& showSize)
{
    if (m_inputConvert) {
        m_inputConvert->keyEvent(event, frameSize, showSize);
    }
}

void Controller::postControlMsg(ControlMsg* msg)
{
    if (!msg) {
        return;
    }
    QCoreApplication::postEvent(this, msg, Qt::NormalEventPriority);
}

void Controller::recvDeviceMsg(DeviceMsg* msg)
{
    if (m_receiver) {
        m_receiver->recvDeviceMsg(msg);
    }
}

void Controller::postGoBack()
{
    postKeyCodeClick(AKEYCODE_BACK);
}

void Controller::postGoHome()
{
    postKeyCodeClick(AKEYCODE_HOME);
}

void Controller::postGoMenu()
{
    postKeyCodeClick(AKEYCODE_MENU);
}

void Controller::postAppSwitch()
{
    postKeyCodeClick(AKEYCODE_APP_SWITCH);
}

void Controller::postPower()
{
    postKeyCodeClick(AKEYCODE_POWER);
}

void Controller::postVolumeUp()
{
    postKeyCodeClick(AKEYCODE_VOLUME_UP);
}

void Controller::postVolumeDown()
{
    postKeyCodeClick(AKEYCODE_VOLUME_DOWN);
}

void Controller::copy()
{
    postKeyCodeClick(AKEYCODE_COPY);
}

void Controller::cut()
{
    postKeyCodeClick(AKEYCODE_CUT);
}

void Controller::postKeyCodeClick(AndroidKeycode keycode)
{
    for (AndroidKeyeventAction action : {AKEY_EVENT_ACTION_DOWN, AKEY_EVENT_ACTION_UP}) {
        auto* msg = new ControlMsg(ControlMsg::CONTROL_INJECT_KEYCODE);
        msg->setInjectKeycodeMsgData(action, keycode, 0, AMETA_NONE);
        postControlMsg(msg);
    }
}

void Controller::postBackOrScreenOn(bool down)
{
    auto* msg = new ControlMsg(ControlMsg::CONTROL_BACK_OR_SCREEN_ON);
    msg->setBackOrScreenOnData(down);
    postControlMsg(msg);
}

void Controller::expandNotificationPanel()
{
    postSimpleMsg(ControlMsg::CONTROL_EXPAND_NOTIFICATION_PANEL);
}

void Controller::collapsePanel()
{
    postSimpleMsg(ControlMsg::CONTROL_COLLAPSE_PANEL);
}

void Controller::setScreenPowerMode(ControlMsg::ScreenPowerMode mode)
{
    auto* msg = new ControlMsg(ControlMsg::CONTROL_SET_SCREEN_POWER_MODE);
    msg->setSetScreenPowerModeData(mode);
    postControlMsg(msg);
}

void Controller::postTextInput(QString& text)
{
    auto* msg = new ControlMsg(ControlMsg::CONTROL_INJECT_TEXT);
    msg->setInjectTextMsgData(text);
    postControlMsg(msg);
}

void Controller::clipboardPaste()
{
    QString text;
    if (!computerClipboardText(text)) {
        return;
    }
    postTextInput(text);
}

void Controller::setDeviceClipboard(bool paste)
{
    QString text;
    // Sending an empty text would wipe the device's clipboard for nothing.
    if (!computerClipboardText(text) || text.isEmpty()) {
        qDebug("Computer clipboard holds no text");
        return;
    }
    auto* msg = new ControlMsg(ControlMsg::CONTROL_SET_CLIPBOARD);
    msg->setSetClipboardMsgData(text, paste);
    postControlMsg(msg);
}

void Controller::getDeviceClipboard(bool cut)
{
    auto* msg = new ControlMsg(ControlMsg::CONTROL_GET_CLIPBOARD);
    msg->setGetClipboardMsgData(cut ? ControlMsg::COPY_KEY_CUT : ControlMsg::COPY_KEY_COPY);
    postControlMsg(msg);
}

void Controller::requestDeviceClipboard()
{
    // Asking must not remove the selection on the device, so it copies.
    getDeviceClipboard(false);
}

bool Controller::sendControl(const QByteArray& buffer)
{
    if (buffer.isEmpty() || !m_writer) {
        return false;
    }
    const qint64 written = m_writer(buffer);
    if (written != 0 && written != buffer.size()) {
        qWarning("Control message write failed: %lld of %d bytes", static_cast<long long>(written),
                 buffer.size());
    }
    return written == buffer.size();
}

void Controller::setMessageSink(MessageSink sink)
{
    m_sink = std::move(sink);
}

bool Controller::event(QEvent* event)
{
    if (event->type() != static_cast<QEvent::Type>(QDravikEvent::ControlEventType)) {
        return QObject::event(event);
    }
    auto* msg = dynamic_cast<ControlMsg*>(event);
    if (!msg) {
        return true;
    }
    if (m_sink) {
        m_sink(*msg);
        return true;
    }
    // A dropped message (no socket any more) is not retried: input is only worth sending live.
    sendControl(msg->serializeData());
    return true;
}

void Controller::postSimpleMsg(ControlMsg::ControlMsgType type)
{
    postControlMsg(new ControlMsg(type));
}

bool Controller::computerClipboardText(QString& text)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        qWarning("No computer clipboard to read");
        return false;
    }
    text = QGuiApplication::clipboard()->text(QClipboard::Clipboard);
    return true;
}

} // namespace dvk
