#include "DevicesDialog.h"
#include "ui_DevicesDialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QStyle>

#include "AppFiles.h"
#include "ConnectionParams.h"
#include "LaunchOptions.h"
#include "WindowShape.h"
#include "device/IDeviceManage.h"
#include "group/GroupController.h"

namespace {

const int kRowHeight = 44;
const int kColumnWidths[] = {170, 130, 130, 80};
const char* const kStateReady = "device";
const char* const kStateUnauthorized = "unauthorized";
const char* const kStateOffline = "offline";

dvk::IDeviceManage& registry()
{
    return dvk::IDeviceManage::getInstance();
}

} // namespace

DevicesDialog::DevicesDialog(QWidget* parent) : QDialog(parent), ui(new Ui::DevicesDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    WindowShape::roundOff(this, ui->frame, WindowShape::kPanelRadius);
    setWindowTitle(tr("Devices"));
    ui->labelTitle->setText(tr("Devices"));
    ui->checkGroup->setText(tr("Group control"));
    ui->checkGroup->setToolTip(tr("Repeat what is done on one mirrored device on every other one"));
    initTable();

    auto& group = dvk::GroupController::instance();
    ui->checkGroup->setChecked(group.isEnabled());
    connect(&group, &dvk::GroupController::enabledChanged, ui->checkGroup, &QCheckBox::setChecked);
    // Queued: the registry reports while the device is still in its table; the row is shown after.
    connect(&registry(), &dvk::IDeviceManage::deviceConnected, this, &DevicesDialog::onRegistryChanged,
            Qt::QueuedConnection);
    connect(&registry(), &dvk::IDeviceManage::deviceDisconnected, this, &DevicesDialog::onRegistryChanged,
            Qt::QueuedConnection);
    connect(&m_refreshTimer, &QTimer::timeout, this, &DevicesDialog::onRefresh);
}

DevicesDialog::~DevicesDialog()
{
    delete ui;
}

DevicesDialog* DevicesDialog::showFor(QWidget* opener)
{
    static QPointer<DevicesDialog> s_dialog;
    if (!s_dialog) {
        // It belongs to no window: any window may open it, and any may close while it is open.
        s_dialog = new DevicesDialog();
        s_dialog->setAttribute(Qt::WA_DeleteOnClose);
        s_dialog->setAttribute(Qt::WA_QuitOnClose, false);
        DevicesDialog* dialog = s_dialog;
        connect(qApp, &QCoreApplication::aboutToQuit, dialog, [dialog]() { delete dialog; });
        if (opener) {
            const QRect over = opener->window()->frameGeometry();
            s_dialog->move(over.center() - s_dialog->rect().center());
        }
    }
    s_dialog->show();
    s_dialog->raise();
    s_dialog->activateWindow();
    return s_dialog;
}

void DevicesDialog::initTable()
{
    QTableWidget* table = ui->table;
    // The panel shows through the list, as through the other dialogs' labels.
    table->viewport()->setAutoFillBackground(false);
    table->setColumnCount(ColumnCount);
    table->setHorizontalHeaderLabels({tr("Serial"), tr("Model"), tr("State"), tr("Mirrored"), QString()});
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    QHeaderView* header = table->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    for (int column = 0; column < ColumnAction; ++column) {
        header->resizeSection(column, kColumnWidths[column]);
    }
    header->setStretchLastSection(true);
}

void DevicesDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_refreshTimer.start(kRefreshMs);
    onRefresh();
}

void DevicesDialog::hideEvent(QHideEvent* event)
{
    m_refreshTimer.stop();
    QDialog::hideEvent(event);
}

void DevicesDialog::on_buttonClose_clicked()
{
    close();
}

void DevicesDialog::on_checkGroup_toggled(bool on)
{
    dvk::GroupController::instance().setEnabled(on);
}

// ---- the list --------------------------------------------------------------------------------

void DevicesDialog::onRefresh()
{
    if (m_listing) {
        m_listAgain = true;
        return;
    }
    m_listing = dvk::AdbProcess::selfDeleting(this, &DevicesDialog::onDevicesListed);
    m_listing->listDevicesInDetail();
}

void DevicesDialog::onDevicesListed(dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* runner)
{
    m_listing = nullptr;
    if (result == dvk::AdbProcess::ADB_EXIT_OK) {
        showDevices(dvk::AdbDeviceList::parse(runner->getStdOut()));
    } else {
        qWarning("Devices dialog: the devices could not be listed: %s", qUtf8Printable(runner->failureText(result)));
        ui->labelStatus->setText(tr("adb could not list the devices"));
    }
    if (m_listAgain && isVisible()) {
        m_listAgain = false;
        onRefresh();
    }
}

// Rows are updated in place and keep their order; only devices adb no longer lists lose theirs.
void DevicesDialog::showDevices(const QList<dvk::AdbDeviceList::Entry>& entries)
{
    QSet<QString> listed;
    for (const dvk::AdbDeviceList::Entry& entry : entries) {
        listed.insert(entry.serial);
        int row = m_serials.indexOf(entry.serial);
        if (row < 0) {
            row = addRow(entry.serial);
        }
        m_devices[entry.serial].state = entry.state;
        if (entry.state == QLatin1String(kStateReady)) {
            askModel(entry.serial);
        }
        showRow(row);
    }
    for (int row = m_serials.size() - 1; row >= 0; --row) {
        if (!listed.contains(m_serials[row])) {
            removeRow(row);
        }
    }
    ui->labelStatus->setText(entries.isEmpty() ? tr("No device is attached") : QString());
}

int DevicesDialog::addRow(const QString& serial)
{
    const int row = m_serials.size();
    m_serials.append(serial);
    ui->table->insertRow(row);

    // The action cell holds both of its forms; showing one or the other never rebuilds the row.
    auto* action = new QWidget();
    action->setObjectName("action:" + serial);
    auto* layout = new QHBoxLayout(action);
    layout->setContentsMargins(6, 0, 0, 0);
    auto* button = new QPushButton(action);
    button->setObjectName("buttonMirror");
    button->setCursor(Qt::PointingHandCursor);
    connect(button, &QPushButton::clicked, this, [this, serial]() { onMirrorClicked(serial); });
    auto* hint = new QLabel(action);
    hint->setObjectName("labelHint");
    hint->setWordWrap(true);
    layout->addWidget(button);
    layout->addWidget(hint, 1);
    layout->addStretch();
    ui->table->setCellWidget(row, ColumnAction, action);
    return row;
}

void DevicesDialog::removeRow(int row)
{
    m_devices.remove(m_serials.takeAt(row));
    ui->table->removeRow(row);
}

void DevicesDialog::showRow(int row)
{
    const QString serial = m_serials.value(row);
    const Device& device = m_devices[serial];
    const bool mirrored = isMirrored(serial);
    setCell(row, ColumnSerial, serial);
    setCell(row, ColumnModel, device.model);
    setCell(row, ColumnState, stateText(device.state));
    setCell(row, ColumnMirrored, mirrored ? tr("Yes") : tr("No"));
    showAction(row, mirrored);
}

// A device that can be mirrored gets the button; one that cannot says what to do about it.
void DevicesDialog::showAction(int row, bool mirrored)
{
    const QString serial = m_serials.value(row);
    QWidget* action = ui->table->cellWidget(row, ColumnAction);
    if (!action) {
        return;
    }
    auto* button = action->findChild<QPushButton*>("buttonMirror");
    auto* hint = action->findChild<QLabel*>("labelHint");
    const QString state = m_devices[serial].state;
    const bool canMirror = mirrored || state == QLatin1String(kStateReady);
    if (button->text() != (mirrored ? tr("Stop") : tr("Mirror"))) {
        button->setText(mirrored ? tr("Stop") : tr("Mirror"));
        button->setProperty("stop", mirrored);
        button->style()->unpolish(button);
        button->style()->polish(button);
    }
    button->setVisible(canMirror);
    const QString hintText = canMirror ? QString() : hintFor(state);
    if (hint->text() != hintText) {
        hint->setText(hintText);
    }
    hint->setVisible(!hintText.isEmpty());
}

void DevicesDialog::setCell(int row, int column, const QString& text)
{
    QTableWidgetItem* item = ui->table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem();
        item->setFlags(Qt::ItemIsEnabled);
        ui->table->setItem(row, column, item);
    }
    if (item->text() != text) {
        item->setText(text);
    }
}

QString DevicesDialog::stateText(const QString& state) const
{
    if (state == QLatin1String(kStateReady)) {
        return tr("Ready");
    }
    if (state == QLatin1String(kStateUnauthorized)) {
        return tr("Unauthorized");
    }
    if (state == QLatin1String(kStateOffline)) {
        return tr("Offline");
    }
    return state;
}

QString DevicesDialog::hintFor(const QString& state) const
{
    if (state == QLatin1String(kStateUnauthorized)) {
        return tr("Accept the USB debugging prompt on the phone");
    }
    if (state == QLatin1String(kStateOffline)) {
        return tr("Reconnect the cable");
    }
    return QString();
}

// ---- model and mirroring ---------------------------------------------------------------------

// Asked once per device; an answer that did not come is asked for again on a later refresh.
void DevicesDialog::askModel(const QString& serial)
{
    Device& device = m_devices[serial];
    if (device.modelAsked) {
        return;
    }
    device.modelAsked = true;
    QPointer<DevicesDialog> guard(this);
    auto* runner = dvk::AdbProcess::selfDeleting(
        [guard, serial](dvk::AdbProcess::ADB_EXEC_RESULT result, dvk::AdbProcess* done) {
            if (guard) {
                guard->onModelAnswered(serial, result, done);
            }
        });
    runner->queryModel(serial);
}

void DevicesDialog::onModelAnswered(const QString& serial, dvk::AdbProcess::ADB_EXEC_RESULT result,
                                    dvk::AdbProcess* runner)
{
    const int row = m_serials.indexOf(serial);
    if (row < 0) {
        return;
    }
    if (result != dvk::AdbProcess::ADB_EXIT_OK) {
        qWarning("Devices dialog: no model for %s: %s", qUtf8Printable(serial),
                 qUtf8Printable(runner->failureText(result)));
        m_devices[serial].modelAsked = false;
        return;
    }
    m_devices[serial].model = runner->getStdOut().section(QLatin1Char('\n'), 0, 0).trimmed();
    showRow(row);
}

void DevicesDialog::onMirrorClicked(const QString& serial)
{
    if (isMirrored(serial)) {
        registry().disconnectDevice(serial);
    } else if (!registry().connectDevice(connectionParams(serial, AppFiles::serverFile(), LaunchOptions::current()))) {
        qWarning("Devices dialog: %s could not be mirrored", qUtf8Printable(serial));
        ui->labelStatus->setText(tr("%1 could not be mirrored").arg(serial));
    }
    const int row = m_serials.indexOf(serial);
    if (row >= 0) {
        showRow(row);
    }
}

void DevicesDialog::onRegistryChanged()
{
    for (int row = 0; row < m_serials.size(); ++row) {
        showRow(row);
    }
}

bool DevicesDialog::isMirrored(const QString& serial)
{
    return !registry().getDevice(serial).isNull();
}

QPushButton* DevicesDialog::mirrorButton(const QString& serial) const
{
    const int row = m_serials.indexOf(serial);
    QWidget* action = row < 0 ? nullptr : ui->table->cellWidget(row, ColumnAction);
    auto* button = action ? action->findChild<QPushButton*>("buttonMirror") : nullptr;
    return button && !button->isHidden() ? button : nullptr;
}
