#ifndef WMSIZEOUTPUT_H
#define WMSIZEOUTPUT_H

#include <QSize>
#include <QString>

// Reads what "adb shell wm size" prints. Kept free of widgets so that it can be tested and
// fuzzed on its own.
class WmSizeOutput
{
public:
    // The size after "Override size:" when one is set (the line that follows the physical
    // size); an invalid size when there is none or it is not a readable "WxH".
    static QSize overrideSize(const QString& output);
};

#endif // WMSIZEOUTPUT_H
