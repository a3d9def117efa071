#include "group/GroupController.h"

#include <QScopedValueRollback>

#include <algorithm>

#include "device/IDevice.h"
#include "device/IDeviceManage.h"
#include "group/GroupMember.h"

namespace dvk {

GroupController& GroupController::instance()
{
    // The registry is made first, so at exit it outlives the group, which still deregisters from
    // the devices it holds.
    static GroupController controller(IDeviceManage::getInstance());
    return controller;
}

GroupController::GroupController(IDeviceManage& registry) : m_registry(&registry)
{
    connect(&registry, &IDeviceManage::deviceConnected, this, &GroupController::onDeviceConnected);
    connect(&registry, &IDeviceManage::deviceDisconnected, this, &GroupController::onDeviceDisconnected);
}

GroupController::~GroupController()
{
    for (const auto& each : m_members) {
        QPointer<IDevice> device = m_registry ? m_registry->getDevice(each->serial()) : nullptr;
        if (device) {
            device->deRegisterDeviceObserver(each.get());
        }
    }
}

void GroupController::setEnabled(bool on)
{
    if (m_enabled == on) {
        return;
    }
    m_enabled = on;
    qInfo("group control %s", on ? "on" : "off");
    emit enabledChanged(on);
}

bool GroupController::isEnabled() const
{
    return m_enabled;
}

QStringList GroupController::serials() const
{
    QStringList serials;
    for (const auto& each : m_members) {
        serials << each->serial();
    }
    return serials;
}

QStringList GroupController::repeatTargets(const QString& source) const
{
    if (!m_enabled || !member(source)) {
        return {};
    }
    QStringList targets = serials();
    targets.removeAll(source);
    return targets;
}

void GroupController::repeat(const QString& source, const Operation& op)
{
    forward(source, Placement::Any, [&op](IDevice& target, const QSize&) { op(target); });
}

void GroupController::repeatPlaced(const QString& source, const PlacedOperation& op)
{
    forward(source, Placement::NeedsFrame, op);
}

void GroupController::repeatKey(const QString& source, const PlacedOperation& op)
{
    forward(source, Placement::Any, op);
}

void GroupController::forward(const QString& source, Placement placement, const PlacedOperation& op)
{
    // Everything runs on the GUI thread, so a flag is enough to tell a target's report of the
    // repeated operation from a new action; repeating it would echo between devices forever.
    if (m_repeating || !m_registry) {
        return;
    }
    const QStringList targets = repeatTargets(source);
    QScopedValueRollback<bool> guard(m_repeating, true);
    for (const QString& serial : targets) {
        // Looked up again each time: an operation may have ended a device before this one.
        const QPointer<IDevice> device = m_registry ? m_registry->getDevice(serial) : nullptr;
        const GroupMember* target = member(serial);
        if (!device || !target) {
            continue;
        }
        const QSize frameSize = target->frameSize();
        if (placement == Placement::NeedsFrame && !frameKnown(serial, frameSize)) {
            continue;
        }
        op(*device, frameSize);
    }
}

bool GroupController::frameKnown(const QString& serial, const QSize& frameSize)
{
    if (!frameSize.isEmpty()) {
        return true;
    }
    if (!m_sizeUnknownTold.contains(serial)) {
        m_sizeUnknownTold.insert(serial);
        qInfo("%s", qUtf8Printable(
                        QStringLiteral("group control: no picture size of %1 yet, touches not repeated there").arg(serial)));
    }
    return false;
}

void GroupController::onDeviceConnected(bool success, const QString& serial, const QString& deviceName,
                                        const QSize& size)
{
    Q_UNUSED(deviceName)
    if (!success) {
        leave(serial);
        return;
    }
    join(serial, size);
}

void GroupController::onDeviceDisconnected(const QString& serial)
{
    leave(serial);
}

void GroupController::join(const QString& serial, const QSize& frameSize)
{
    if (member(serial) || !m_registry) {
        return;
    }
    // A listener before this one may already have disconnected it.
    const QPointer<IDevice> device = m_registry->getDevice(serial);
    if (!device) {
        qInfo("%s", qUtf8Printable(QStringLiteral("group control: %1 is gone before it could join").arg(serial)));
        return;
    }
    m_members.push_back(std::make_unique<GroupMember>(*this, serial, frameSize));
    device->registerDeviceObserver(m_members.back().get());
    qInfo("%s", qUtf8Printable(QStringLiteral("group control: %1 joins").arg(serial)));
    emit membersChanged();
}

void GroupController::leave(const QString& serial)
{
    const auto it = std::find_if(m_members.begin(), m_members.end(),
                                 [&serial](const auto& each) { return each->serial() == serial; });
    if (it == m_members.end()) {
        return;
    }
    // The device reports its end from inside its own disconnection and is still whole then.
    const QPointer<IDevice> device = m_registry ? m_registry->getDevice(serial) : nullptr;
    if (device) {
        device->deRegisterDeviceObserver(it->get());
    }
    m_members.erase(it);
    m_sizeUnknownTold.remove(serial);
    qInfo("%s", qUtf8Printable(QStringLiteral("group control: %1 leaves").arg(serial)));
    emit membersChanged();
}

GroupMember* GroupController::member(const QString& serial) const
{
    for (const auto& each : m_members) {
        if (each->serial() == serial) {
            return each.get();
        }
    }
    return nullptr;
}

} // namespace dvk
