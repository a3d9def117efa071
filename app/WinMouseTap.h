#ifndef WINMOUSETAP_H
#define WINMOUSETAP_H

#include <QtGlobal>

#ifdef Q_OS_WIN

#include "MouseTap.h"

class WinMouseTap : public MouseTap
{
public:
    void initMouseEventTap() override;
    void quitMouseEventTap() override;
    void enableMouseEventTap(QRect rect, bool enable) override;
};

#endif // Q_OS_WIN

#endif // WINMOUSETAP_H
