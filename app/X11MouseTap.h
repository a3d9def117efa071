#ifndef X11MOUSETAP_H
#define X11MOUSETAP_H

#ifdef VADIZEDE_HAVE_X11

#include "MouseTap.h"

typedef struct _XDisplay Display;

// Confines the pointer with an active pointer grab whose confine-to window covers the rectangle.
// The grab is made on the application's own X connection so that its windows keep getting their events.
class X11MouseTap : public MouseTap
{
public:
    X11MouseTap();
    ~X11MouseTap() override;

    void initMouseEventTap() override;
    void quitMouseEventTap() override;
    void enableMouseEventTap(QRect rect, bool enable) override;

private:
    void release();

    Display* m_display = nullptr;
    unsigned long m_confineWindow = 0;
    bool m_grabbed = false;
};

#endif // VADIZEDE_HAVE_X11

#endif // X11MOUSETAP_H
