#ifndef RECEIVER_H
#define RECEIVER_H

#include <QObject>

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
};

} // namespace dvk

#endif // RECEIVER_H
