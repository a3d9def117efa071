#ifndef VIDEOSOCKETEVENT_H
#define VIDEOSOCKETEVENT_H

#include "QDravikEvent.h"

namespace dvk {

// Posted by the stream thread to ask the socket's own thread to serve a read.
class VideoSocketEvent : public QDravikEvent
{
public:
    VideoSocketEvent();
    ~VideoSocketEvent() override;
};

} // namespace dvk

#endif // VIDEOSOCKETEVENT_H
