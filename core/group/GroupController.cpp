#include "group/GroupController.h"

namespace dvk {

GroupController& GroupController::instance()
{
    static GroupController controller;
    return controller;
}

GroupController::GroupController() = default;

GroupController::~GroupController() = default;

void GroupController::setEnabled(bool on)
{
    if (m_enabled == on) {
        return;
    }
    m_enabled = on;
    emit enabledChanged(on);
}

bool GroupController::isEnabled() const
{
    return m_enabled;
}

QStringList GroupController::serials() const
{
    return m_serials;
}

} // namespace dvk
