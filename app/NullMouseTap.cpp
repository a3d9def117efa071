#include "NullMouseTap.h"

void NullMouseTap::initMouseEventTap() {}

void NullMouseTap::quitMouseEventTap() {}

void NullMouseTap::enableMouseEventTap(QRect rect, bool enable)
{
    Q_UNUSED(rect)
    Q_UNUSED(enable)
}
