#ifndef GROUPMEMBER_H
#define GROUPMEMBER_H

#include <QSize>
#include <QString>

#include "device/DeviceObserver.h"

namespace dvk {

class GroupController;

// One device of the group, registered as its observer: keeps the size of the device's pictures
// and hands every operation the device reports to the group, to be carried out on the others.
class GroupMember : public DeviceObserver
{
public:
    // frameSize is the size the device announced when it connected; its pictures refine it.
    GroupMember(GroupController& group, QString serial, const QSize& frameSize);
    ~GroupMember() override;

    const QString& serial() const { return m_serial; }
    QSize frameSize() const { return QSize(m_frameWidth, m_frameHeight); }

    void onFrame(int width, int height, uint8_t* dataY, uint8_t* dataU, uint8_t* dataV, int linesizeY,
                 int linesizeU, int linesizeV) override;

    void mouseEvent(const QMouseEvent* from, const QSize& frameSize, const QSize& showSize) override;
    void wheelEvent(const QWheelEvent* from, const QSize& frameSize, const QSize& showSize) override;
    void keyEvent(const QKeyEvent* from, const QSize& frameSize, const QSize& showSize) override;

    void postGoBack() override;
    void postGoHome() override;
    void postGoMenu() override;
    void postAppSwitch() override;
    void postPower() override;
    void postVolumeUp() override;
    void postVolumeDown() override;
    void postCopy() override;
    void postCut() override;
    void setScreenPowerMode(bool open) override;
    void expandNotificationPanel() override;
    void collapsePanel() override;
    void postBackOrScreenOn(bool down) override;
    void postTextInput(QString& text) override;
    void setDeviceClipboard(bool paste) override;
    void clipboardPaste() override;
    // Not repeated: file pushes and APK installs (the user drops a file on one device), screenshots
    // (one file per click), show-touches (a setting, not an action) and requests for the device's
    // clipboard (every device would answer and the last answer would win the computer's clipboard).

private:
    GroupController& m_group;
    const QString m_serial;
    // The pictures arrive with the decoder's buffer locked: two ints are all that is taken.
    int m_frameWidth = 0;
    int m_frameHeight = 0;
};

} // namespace dvk

#endif // GROUPMEMBER_H
