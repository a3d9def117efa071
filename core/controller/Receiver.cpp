#include "controller/Receiver.h"

#include <QClipboard>
#include <QDebug>
#include <QGuiApplication>
#include <QThread>

#include "controller/DeviceMsg.h"

namespace dvk {

Receiver::Receiver(QObject* parent) : QObject(parent) {}

// The decoder posts its results to this object: it has to be finished before the object goes.
Receiver::~Receiver()
{
    if (m_decoder) {
        m_decoder->quit();
        m_decoder->wait();
    }
}

void Receiver::recvDeviceMsg(DeviceMsg* msg)
{
    if (!msg || msg->type() != DeviceMsg::DEVICE_MSG_CLIPBOARD) {
        return;
    }
    qInfo("Device clipboard copied");

    // Without a GUI application there is no clipboard to reach.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        qWarning("No computer clipboard to copy to");
        return;
    }
    const QByteArray& message = msg->clipboardMsgBytes();
    // Decoding megabytes of text would hold up the window; a short text that follows a long one
    // waits for it, so that the clipboard ends with the text the device sent last.
    if (message.size() >= DECODE_ASIDE_BYTES || m_decoding > 0) {
        decodeAside(message);
        return;
    }
    applyText(DeviceMsg::clipboardTextOf(message));
}

void Receiver::decodeAside(const QByteArray& message)
{
    if (!m_decoder) {
        m_decoder = new QThread(this);
        m_decoder->setObjectName("clipboard decoder");
        m_decoderContext = new QObject();
        m_decoderContext->moveToThread(m_decoder);
        connect(m_decoder, &QThread::finished, m_decoderContext, &QObject::deleteLater);
        m_decoder->start();
    }
    {
        std::lock_guard<std::mutex> hold(m_handoffLock);
        m_toDecode.push_back(message);
    }
    ++m_decoding;
    QMetaObject::invokeMethod(m_decoderContext, [this]() { decodeNext(); }, Qt::QueuedConnection);
}

// On the decoder thread.
void Receiver::decodeNext()
{
    QByteArray message;
    {
        std::lock_guard<std::mutex> hold(m_handoffLock);
        message = m_toDecode.front();
        m_toDecode.pop_front();
    }
    const QString text = DeviceMsg::clipboardTextOf(message);
    {
        std::lock_guard<std::mutex> hold(m_handoffLock);
        m_decoded.push_back(text);
    }
    QMetaObject::invokeMethod(this, [this]() { applyDecoded(); }, Qt::QueuedConnection);
}

void Receiver::applyDecoded()
{
    QString text;
    {
        std::lock_guard<std::mutex> hold(m_handoffLock);
        text = m_decoded.front();
        m_decoded.pop_front();
    }
    --m_decoding;
    applyText(text);
}

void Receiver::applyText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->text(QClipboard::Clipboard) == text) {
        qDebug("Computer clipboard unchanged");
        return;
    }
    clipboard->setText(text, QClipboard::Clipboard);
}

} // namespace dvk
