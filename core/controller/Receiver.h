#ifndef RECEIVER_H
#define RECEIVER_H

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <mutex>

class QThread;

namespace dvk {

class DeviceMsg;

// Acts on the messages the device sends: its clipboard text goes onto the computer's clipboard.
class Receiver : public QObject
{
    Q_OBJECT
public:
    explicit Receiver(QObject* parent = nullptr);
    ~Receiver() override;

    void recvDeviceMsg(DeviceMsg* msg);

    // Texts at least this long are decoded on a thread of their own.
    static constexpr int DECODE_ASIDE_BYTES = 256 * 1024;

private:
    void decodeAside(const QByteArray& message);
    void decodeNext();
    void applyDecoded();
    void applyText(const QString& text);

    QThread* m_decoder = nullptr;
    QObject* m_decoderContext = nullptr;
    // Texts handed to the decoder and not yet applied; later ones wait behind them.
    int m_decoding = 0;
    // Texts cross to the decoder and back through these, under the lock, in the order they came.
    std::mutex m_handoffLock;
    std::deque<QByteArray> m_toDecode;
    std::deque<QString> m_decoded;
};

} // namespace dvk

#endif // RECEIVER_H
