#include "QDravikEvent.h"

namespace dvk {

QDravikEvent::QDravikEvent(Type type) : QEvent(static_cast<QEvent::Type>(type)) {}

QDravikEvent::~QDravikEvent() = default;

} // namespace dvk
