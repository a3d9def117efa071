#include "controller/Receiver.h"

#include <QClipboard>
#include <QDebug>
#include <QGuiApplication>
#include <QThread>

#include "controller/DeviceMsg.h"

namespace dvk {

namespace {

template <typename T>
void putLast(std::mutex& lock, std::deque<T>& queue, const T& value)
{
    std::lock_guard<std::mutex> hold(lock);
    queue.push_back(value);
}

template <typename T>
T takeFirst(std::mutex& lock, std::deque<T>& queue)
{
    std::lock_guard<std::mutex> hold(lock);
    T value = queue.front();
    queue.pop_front();
    return value;
}

} // namespace

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
    putLast(m_handoffLock, m_toDecode, message);
    ++m_decoding;
    QMetaObject::invokeMethod(m_decoderContext, [this]() { decodeNext(); }, Qt::QueuedConnection);
}

// On the decoder thread.
void Receiver::decodeNext()
{
    const QByteArray message = takeFirst(m_handoffLock, m_toDecode);
    putLast(m_handoffLock, m_decoded, DeviceMsg::clipboardTextOf(message));
    QMetaObject::invokeMethod(this, [this]() { applyDecoded(); }, Qt::QueuedConnection);
}

void Receiver::applyDecoded()
{
    --m_decoding;
    applyText(takeFirst(m_handoffLock, m_decoded));
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
