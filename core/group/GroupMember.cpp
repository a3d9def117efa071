#include "group/GroupMember.h"

#include "device/IDevice.h"
#include "group/GroupController.h"

namespace dvk {

GroupMember::GroupMember(GroupController& group, QString serial, const QSize& frameSize)
    : m_group(group), m_serial(std::move(serial)), m_frameWidth(frameSize.width()), m_frameHeight(frameSize.height())
{
}

GroupMember::~GroupMember() = default;

void GroupMember::onFrame(int width, int height, uint8_t* dataY, uint8_t* dataU, uint8_t* dataV, int linesizeY,
                          int linesizeU, int linesizeV)
{
    Q_UNUSED(dataY) Q_UNUSED(dataU) Q_UNUSED(dataV) Q_UNUSED(linesizeY) Q_UNUSED(linesizeU) Q_UNUSED(linesizeV)
    m_frameWidth = width;
    m_frameHeight = height;
}

// Positions are relative to the source's shown size: each target maps them onto its own frame,
// so a point keeps its place on screens of different sizes.
void GroupMember::mouseEvent(const QMouseEvent* from, const QSize& frameSize, const QSize& showSize)
{
    Q_UNUSED(frameSize)
    m_group.repeatPlaced(m_serial, [&](IDevice& target, const QSize& targetFrame) {
        target.mouseEvent(from, targetFrame, showSize);
    });
}

void GroupMember::wheelEvent(const QWheelEvent* from, const QSize& frameSize, const QSize& showSize)
{
    Q_UNUSED(frameSize)
    m_group.repeatPlaced(m_serial, [&](IDevice& target, const QSize& targetFrame) {
        target.wheelEvent(from, targetFrame, showSize);
    });
}

// Keys carry no position, but a keymap turns them into touches on the target's own frame.
void GroupMember::keyEvent(const QKeyEvent* from, const QSize& frameSize, const QSize& showSize)
{
    Q_UNUSED(frameSize)
    m_group.repeatKey(m_serial, [&](IDevice& target, const QSize& targetFrame) {
        target.keyEvent(from, targetFrame, showSize);
    });
}

void GroupMember::postGoBack()
{
    m_group.repeat(m_serial, &IDevice::postGoBack);
}

void GroupMember::postGoHome()
{
    m_group.repeat(m_serial, &IDevice::postGoHome);
}

void GroupMember::postGoMenu()
{
    m_group.repeat(m_serial, &IDevice::postGoMenu);
}

void GroupMember::postAppSwitch()
{
    m_group.repeat(m_serial, &IDevice::postAppSwitch);
}

void GroupMember::postPower()
{
    m_group.repeat(m_serial, &IDevice::postPower);
}

void GroupMember::postVolumeUp()
{
    m_group.repeat(m_serial, &IDevice::postVolumeUp);
}

void GroupMember::postVolumeDown()
{
    m_group.repeat(m_serial, &IDevice::postVolumeDown);
}

void GroupMember::postCopy()
{
    m_group.repeat(m_serial, &IDevice::postCopy);
}

void GroupMember::postCut()
{
    m_group.repeat(m_serial, &IDevice::postCut);
}

void GroupMember::setScreenPowerMode(bool open)
{
    m_group.repeat(m_serial, [open](IDevice& target) { target.setScreenPowerMode(open); });
}

void GroupMember::expandNotificationPanel()
{
    m_group.repeat(m_serial, &IDevice::expandNotificationPanel);
}

void GroupMember::collapsePanel()
{
    m_group.repeat(m_serial, &IDevice::collapsePanel);
}

void GroupMember::postBackOrScreenOn(bool down)
{
    m_group.repeat(m_serial, [down](IDevice& target) { target.postBackOrScreenOn(down); });
}

void GroupMember::postTextInput(QString& text)
{
    // Each target gets its own copy: the operation may change the text it is given.
    const QString typed = text;
    m_group.repeat(m_serial, [&typed](IDevice& target) {
        QString copy = typed;
        target.postTextInput(copy);
    });
}

void GroupMember::setDeviceClipboard(bool paste)
{
    m_group.repeat(m_serial, [paste](IDevice& target) { target.setDeviceClipboard(paste); });
}

void GroupMember::clipboardPaste()
{
    m_group.repeat(m_serial, &IDevice::clipboardPaste);
}

} // namespace dvk
