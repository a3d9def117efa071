#include "DeviceTitle.h"

#include <QWidget>

#include "device/IDeviceManage.h"
#include "group/GroupController.h"

namespace {

dvk::IDeviceManage& registry()
{
    return dvk::IDeviceManage::getInstance();
}

} // namespace

DeviceTitle::DeviceTitle(QWidget* window, const QString& base, bool viewOnly) : QObject(window), m_window(window)
{
    m_parts.base = base;
    m_parts.viewOnly = viewOnly;
    dvk::GroupController& group = dvk::GroupController::instance();
    m_parts.group = group.isEnabled();
    connect(&group, &dvk::GroupController::enabledChanged, this, [this](bool on) {
        m_parts.group = on;
        show();
    });
    show();
}

DeviceTitle::~DeviceTitle()
{
    detach();
}

QString DeviceTitle::text(const Parts& parts)
{
    const QString dash = QString::fromUtf8(" — ");
    QString title = parts.base;
    if (!parts.serial.isEmpty()) {
        if (!parts.model.isEmpty()) {
            title += dash + parts.model;
        }
        title += dash + parts.serial;
        if (parts.game) {
            title += dash + tr("game");
        }
        if (parts.group) {
            title += dash + tr("group");
        }
        if (parts.fps >= 0) {
            title += dash + tr("%1 fps").arg(parts.fps);
        }
    }
    return parts.viewOnly ? title + dash + tr("view only") : title;
}

void DeviceTitle::setDevice(const QString& serial, const QString& model)
{
    detach();
    if (QPointer<dvk::IDevice> device = registry().getDevice(serial)) {
        device->registerDeviceObserver(this);
        m_parts.serial = serial;
        m_parts.model = model;
    }
    show();
}

void DeviceTitle::updateFPS(quint32 fps)
{
    m_parts.fps = int(fps);
    show();
}

void DeviceTitle::gameModeChanged(bool on)
{
    m_parts.game = on;
    show();
}

void DeviceTitle::detach()
{
    if (QPointer<dvk::IDevice> device = registry().getDevice(m_parts.serial)) {
        device->deRegisterDeviceObserver(this);
    }
    m_parts.serial.clear();
    m_parts.model.clear();
    m_parts.game = false;
    m_parts.fps = -1;
}

void DeviceTitle::show()
{
    if (m_window) {
        m_window->setWindowTitle(text(m_parts));
    }
}
