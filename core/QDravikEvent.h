#ifndef QDRAVIKEVENT_H
#define QDRAVIKEVENT_H

#include <QEvent>

namespace dvk {

// Base of the custom events this program posts to its own objects.
// The Q prefix is not Qt's: the name is part of the interface; keep it.
class QDravikEvent : public QEvent
{
public:
    enum Type {
        VideoSocketEventType = QEvent::User + 1,
        ControlEventType = QEvent::User + 2,
    };

    explicit QDravikEvent(Type type);
    ~QDravikEvent() override;
};

} // namespace dvk

#endif // QDRAVIKEVENT_H
