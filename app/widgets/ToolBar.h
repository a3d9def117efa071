#ifndef TOOLBAR_H
#define TOOLBAR_H

#include <QPointer>
#include <QWidget>

class QLabel;
class DropTip;
class ToolButton;
class ToolMenuMore;

namespace Ui {
class ToolBar;
}

// The column of device actions beside the mirrored screen. It acts on the device whose serial
// it was last given and keeps no pointer to it.
class ToolBar : public QWidget
{
    Q_OBJECT
public:
    explicit ToolBar(QWidget* parent);
    ~ToolBar() override;

    void setSerial(const QString& serial);
    void setButtonStyle(ToolButton* button, QString normalImage, QString hoverImage);

    // Where LOGCAT writes the dump of a device, stamped with the current local time.
    static QString logcatFilePath(const QString& serial);
    // The terminal the ADB button opens where no Windows command interpreter exists.
    static QString terminalProgram();

public slots:
    void onHome();
    void onBack();
    void onSettings();
    void onSnapshot();
    void onRecent();
    void onLogcat();
    void onAdb();
    void onUninstall();
    void onMore();

private slots:
    void onSnapshotSaved(const QString& path, bool opened);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void initLabels();
    void initButtons();
    ToolButton* addButton(QWidget* area, const QString& text, const QString& image, const QString& hoverImage,
                          void (ToolBar::*slot)());
    void hideMenu();
    void placeMenu();
    bool hasDevice() const;
    static bool writeLogcat(const QString& path, const QString& output);
    void onLogcatRead(const QString& path, const QString& output);
    void openTerminalIn(const QString& directory);
    void notify(const QString& text, int showMs);

    Ui::ToolBar* ui;
    QPointer<QLabel> m_logo;
    QPointer<QLabel> m_split;
    DropTip* m_dropTip = nullptr;
    QPointer<ToolButton> m_home;
    QPointer<ToolButton> m_back;
    QPointer<ToolButton> m_settings;
    QPointer<ToolButton> m_snapshot;
    QPointer<ToolButton> m_recent;
    QPointer<ToolButton> m_logcat;
    QPointer<ToolButton> m_adb;
    QPointer<ToolButton> m_uninstall;
    QPointer<ToolButton> m_more;
    QPointer<ToolMenuMore> m_menu;
    QString m_serial;
};

#endif // TOOLBAR_H
