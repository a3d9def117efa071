#ifndef GROUPCONTROLLER_H
#define GROUPCONTROLLER_H

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace dvk {

class GroupMember;
class IDevice;
class IDeviceManage;

// The connected devices acting as one: while it is on, what one device carries out is carried
// out on every other connected device as well. Every connected device is a member, whether the
// group is on or not; it joins when it connects and leaves when it disconnects.
class GroupController : public QObject
{
    Q_OBJECT
public:
    using Operation = std::function<void(IDevice& target)>;
    // Also given the target's frame size, for what lands on a place of the screen.
    using PlacedOperation = std::function<void(IDevice& target, const QSize& targetFrameSize)>;

    static GroupController& instance();

    void setEnabled(bool on);
    bool isEnabled() const;
    // The serials of the connected devices, in the order they connected.
    QStringList serials() const;
    // The members an action taken on source is repeated on: none while off or for a non-member.
    QStringList repeatTargets(const QString& source) const;

    // Carry op out on every member but source while the group is on. Nothing happens while a
    // repetition is under way: the targets report what they carried out, and that is no new action.
    void repeat(const QString& source, const Operation& op);
    // Skips the targets whose frame size is not known yet.
    void repeatPlaced(const QString& source, const PlacedOperation& op);
    // Every target, with its frame size when known (a keymap needs it, plain keys do not).
    void repeatKey(const QString& source, const PlacedOperation& op);

signals:
    void enabledChanged(bool on);
    void membersChanged();

private:
    enum class Placement { Any, NeedsFrame };

    explicit GroupController(IDeviceManage& registry);
    ~GroupController() override;

    void onDeviceConnected(bool success, const QString& serial, const QString& deviceName, const QSize& size);
    void onDeviceDisconnected(const QString& serial);
    void join(const QString& serial, const QSize& frameSize);
    void leave(const QString& serial);
    GroupMember* member(const QString& serial) const;
    void forward(const QString& source, Placement placement, const PlacedOperation& op);
    bool frameKnown(const QString& serial, const QSize& frameSize);

    // Devices are looked up by serial on every use; null once the registry is gone at exit.
    QPointer<IDeviceManage> m_registry;
    bool m_enabled = false;
    // True while an operation is carried out on the targets.
    bool m_repeating = false;
    std::vector<std::unique_ptr<GroupMember>> m_members;
    // Targets already named in the log for a frame size not yet known.
    QSet<QString> m_sizeUnknownTold;
};

} // namespace dvk

#endif // GROUPCONTROLLER_H
