#include "KeymapMenu.h"

#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "AppFiles.h"
#include "LaunchOptions.h"
#include "NoticePopup.h"
#include "device/IDeviceManage.h"

KeymapMenu::KeymapMenu(QWidget* parent) : QMenu(tr("Keymap"), parent)
{
    setObjectName("keymapMenu");
    // The tool bar's dark look; the item under the pointer in the accent colour.
    setStyleSheet("QMenu {background: #1B2845; color: #FFFFFF; border: 1px solid #428AFF; padding: 4px 0px;}"
                  "QMenu::item {padding: 6px 24px 6px 28px; background: transparent;}"
                  "QMenu::item:selected {color: #428AFF;}"
                  "QMenu::item:disabled {color: #6B7A99;}");
    // Listed afresh each time, so keymaps added while the program runs show up.
    connect(this, &QMenu::aboutToShow, this, &KeymapMenu::rebuild);
    connect(&dvk::IDeviceManage::getInstance(), &dvk::IDeviceManage::deviceConnected, this,
            [this](bool success, const QString& serial) { onDeviceConnected(success, serial); });
}

void KeymapMenu::setSerial(const QString& serial)
{
    m_serial = serial;
}

void KeymapMenu::openBeside(int rightEdge, int top, const QRect& inside)
{
    // Filled first, so that its size is known before it is placed.
    rebuild();
    const QSize size = sizeHint();
    QPoint where(rightEdge - size.width(), top);
    where.setY(qMin(where.y(), inside.bottom() + 1 - size.height()));
    where.setY(qMax(where.y(), inside.top()));
    where.setX(qBound(inside.left(), where.x(), inside.right() + 1 - size.width()));
    popup(where);
}

QString KeymapMenu::currentKeymap() const
{
    return m_chosen.value(m_serial, LaunchOptions::current().keymapFile);
}

void KeymapMenu::onDeviceConnected(bool success, const QString& serial)
{
    // A new connection starts with the keymap given at start, whatever the last one ran with.
    if (success) {
        m_chosen.remove(serial);
    }
}

void KeymapMenu::rebuild()
{
    clear();
    auto* group = new QActionGroup(this);
    const QString current = currentKeymap();
    const auto add = [&](const QString& text, const QString& file) {
        QAction* action = addAction(text, this, [this, file]() { choose(file); });
        action->setCheckable(true);
        action->setChecked(QFileInfo(file) == QFileInfo(current) || (file.isEmpty() && current.isEmpty()));
        action->setData(file);
        action->setEnabled(!m_serial.isEmpty());
        group->addAction(action);
    };
    add(tr("None"), QString());
    const QString folder = AppFiles::keymapFolder();
    const QStringList files = folder.isEmpty() ? QStringList() : QDir(folder).entryList({"*.json"}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        add(QFileInfo(name).completeBaseName(), QDir(folder).absoluteFilePath(name));
    }
}

void KeymapMenu::choose(const QString& file)
{
    QPointer<dvk::IDevice> device = dvk::IDeviceManage::getInstance().getDevice(m_serial);
    if (!device) {
        return;
    }
    QString script;
    if (!file.isEmpty()) {
        QFile keymap(file);
        if (!keymap.open(QIODevice::ReadOnly)) {
            qWarning("%s", qUtf8Printable(QStringLiteral("Could not read keymap %1").arg(file)));
            return;
        }
        script = QString::fromUtf8(keymap.readAll());
    }
    device->updateScript(script);
    m_chosen.insert(m_serial, file);
    qInfo("%s", qUtf8Printable(QStringLiteral("Keymap of %1: %2").arg(m_serial, file.isEmpty() ? "none" : file)));
    const QString name = file.isEmpty() ? tr("None") : QFileInfo(file).completeBaseName();
    // The menu is a window of its own; the notice goes over the window it was opened from.
    QWidget* host = parentWidget() ? parentWidget()->window() : this;
    NoticePopup::notify(host, tr("Keymap: %1").arg(name));
}
