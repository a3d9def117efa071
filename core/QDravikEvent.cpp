#include "QDravikEvent.h"

QDravikEvent::QDravikEvent(Type type) : QEvent(static_cast<QEvent::Type>(type)) {}

QDravikEvent::~QDravikEvent() = default;
