#include "WmSizeOutput.h"

#include <QStringList>

QSize WmSizeOutput::overrideSize(const QString& output)
{
    const QString text = output.trimmed();
    if (text.lastIndexOf("Override size:") <= 0) {
        return QSize();
    }
    const QStringList parts = text.section(' ', -1).split('x');
    bool widthOk = false;
    bool heightOk = false;
    const QSize size(parts.value(0).toInt(&widthOk), parts.value(1).toInt(&heightOk));
    // Without a readable "WxH" there is no size to compare, and so no reason to reconnect.
    if (parts.size() != 2 || !widthOk || !heightOk) {
        return QSize();
    }
    return size;
}
