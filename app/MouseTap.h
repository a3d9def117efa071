#ifndef MOUSETAP_H
#define MOUSETAP_H

#include <QRect>

// Confines the mouse pointer to a screen rectangle while the video holds the mouse.
// It taps nothing: the name is the one every caller knows; keep it.
class MouseTap
{
public:
    // Created on first use for the running platform; GUI thread only, never deleted.
    static MouseTap* getInstance();

    virtual void initMouseEventTap() = 0;
    virtual void quitMouseEventTap() = 0;
    // rect is in physical pixels with inclusive right and bottom edges; enable false releases the pointer.
    virtual void enableMouseEventTap(QRect rect, bool enable) = 0;
    virtual ~MouseTap();

private:
    static MouseTap* s_instance;
};

#endif // MOUSETAP_H
