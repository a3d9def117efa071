#ifndef GROUPCONTROLLER_H
#define GROUPCONTROLLER_H

#include <QObject>
#include <QString>
#include <QStringList>

namespace dvk {

// The connected devices acting as one: while it is on, what one device carries out is carried
// out on every other connected device as well.
class GroupController : public QObject
{
    Q_OBJECT
public:
    static GroupController& instance();

    void setEnabled(bool on);
    bool isEnabled() const;
    // The serials of the connected devices, in the order they connected.
    QStringList serials() const;

signals:
    void enabledChanged(bool on);

private:
    GroupController();
    ~GroupController() override;

    bool m_enabled = false;
    QStringList m_serials;
};

} // namespace dvk

#endif // GROUPCONTROLLER_H
