#ifndef KEYMAPMENU_H
#define KEYMAPMENU_H

#include <QHash>
#include <QMenu>
#include <QString>

// The keymaps of the keymap folder and "None". Choosing one loads it into the connected
// device; the one each device runs with is marked.
class KeymapMenu : public QMenu
{
    Q_OBJECT
public:
    explicit KeymapMenu(QWidget* parent = nullptr);

    void setSerial(const QString& serial);
    // Opens with its right edge on rightEdge and its top at top, moved as needed to stay inside
    // the area (in screen coordinates).
    void openBeside(int rightEdge, int top, const QRect& inside);
    // The keymap file the device of the serial runs with; empty for none.
    QString currentKeymap() const;

private:
    void rebuild();
    void choose(const QString& file);
    void onDeviceConnected(bool success, const QString& serial);

    QString m_serial;
    // Serial to the keymap file chosen for it; a device not listed runs with the start's keymap.
    QHash<QString, QString> m_chosen;
};

#endif // KEYMAPMENU_H
