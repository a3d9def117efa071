#include "server/VideoSocketEvent.h"

namespace dvk {

VideoSocketEvent::VideoSocketEvent() : QDravikEvent(VideoSocketEventType) {}

VideoSocketEvent::~VideoSocketEvent() = default;

} // namespace dvk
