#include "controller/inputconvert/InputConvertBase.h"

#include "controller/ControlMsg.h"
#include "controller/Controller.h"

namespace dvk {

InputConvertBase::InputConvertBase(Controller* controller) : QObject(controller), m_controller(controller) {}

InputConvertBase::~InputConvertBase() = default;

bool InputConvertBase::isCurrentCustomKeymap()
{
    return false;
}

void InputConvertBase::sendControlMsg(ControlMsg* msg)
{
    if (!msg) {
        return;
    }
    if (!m_controller) {
        delete msg;
        return;
    }
    m_controller->postControlMsg(msg);
}

} // namespace dvk
