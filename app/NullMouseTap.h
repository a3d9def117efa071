#ifndef NULLMOUSETAP_H
#define NULLMOUSETAP_H

#include "MouseTap.h"

// For platforms without a confinement mechanism: the pointer stays free.
class NullMouseTap : public MouseTap
{
public:
    void initMouseEventTap() override;
    void quitMouseEventTap() override;
    void enableMouseEventTap(QRect rect, bool enable) override;
};

#endif // NULLMOUSETAP_H
