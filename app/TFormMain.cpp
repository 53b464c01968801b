#include "TFormMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStatusBar>
#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

#include "app/ConcentratorPage.h"
#include "app/IConnectionDatabase.h"
#include "app/IMessageBox.h"
#include "app/IModifierKeys.h"
#include "app/ITimer.h"
#include "app/LineStatePage.h"
#include "app/KeyPanel.h"
#include "app/MeterDataBinding.h"
#include "app/NetworkHealthPage.h"
#include "app/PlcCommandsPage.h"
#include "app/PortList.h"
#include "app/ProtectedPage.h"
#include "app/ServicePage.h"
#include "app/TFormAppOptions.h"
#include "app/TFormLinkMonitor.h"
#include "app/UartIdPanel.h"
#include "app/VersionPanel.h"
#include "commands/CommandSender.h"
#include "commands/HexField.h"
#include "commands/ModeTable.h"
#include "commands/ReplyHandler.h"
#include "meterdata/SystemClock.h"
#include "ui/DropDownComboBox.h"
#include "ui/RadioGroup.h"
#include "ui/WidgetColours.h"
#include "ui_FormMain.h"

namespace lumvaris::app {
namespace {

constexpr int kTimerRXInterval = 100;
constexpr int kTimerGaugeInterval = 100;
constexpr int kTimerResetColorInterval = 2000;
constexpr int kTimerAltInterval = 100;
constexpr int kTimerSaveInterval = 60000;
constexpr int kTimerRefreshInterval = 1000;
constexpr int kTimerPortWatchInterval = 1000;

constexpr int kStatusPanelWidths[3] = {130, 280, 50};
// Item index of the rate fields -> bit/s; the same order is the concentrator's rate index.
constexpr int kBaudRates[3] = {38400, 19200, 9600};

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The hourglass for the length of an operation, restored however the operation ends.
class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { Release(); }
    void Release() {
        if (active_) {
            QApplication::restoreOverrideCursor();
            active_ = false;
        }
    }

  private:
    bool active_ = true;
};

QColor GaugeColour(link::GaugeColor colour, const QPalette& palette) {
    switch (colour) {
        case link::GaugeColor::ButtonFace:
            return palette.color(QPalette::Button);
        case link::GaugeColor::Yellow:
            return QColor(255, 255, 0);
        case link::GaugeColor::Black:
            return QColor(0, 0, 0);
        case link::GaugeColor::Green:
            return QColor(0, 128, 0);
        case link::GaugeColor::Maroon:
            return QColor(128, 0, 0);
        case link::GaugeColor::Default:
            break;
    }
    return QColor();
}

void SetCaption(QAbstractButton* button, const char* caption) {
    button->setText(Text(caption));
}

}  // namespace

TFormMain::TFormMain(const MainWindowPlatform& platform, QWidget* parent)
    : QMainWindow(parent),
      port_(platform.port),
      pause_(platform.pause),
      modifierKeys_(platform.modifierKeys),
      messageBox_(platform.messageBox),
      programDirectory_(platform.programDirectory),
      helpDirectory_(platform.programDirectory),
      versionCaption_(platform.versionCaption),
      openDocument_(platform.openDocument),
      readKeyNames_(platform.readKeyNames),
      ui_(new Ui::TFormMain),
      requester_(platform.port, platform.pause, *this),
      receiver_(platform.port) {
    ui_->setupUi(this);
    receiver_.SetConsumer(this);
    if (platform.clock == nullptr) {
        ownClock_ = std::make_unique<meterdata::SystemClock>();
    }
    clock_ = platform.clock != nullptr ? platform.clock : ownClock_.get();
    meterData_ = std::make_unique<MeterDataBinding>(*this, programDirectory_, *clock_);
    database_ = meterData_.get();
    meterPacketHandler_ = [this](const link::FrameBuffer& frame) {
        healthPage_->HearPacket(frame);
        meterData_->StoreLivePacket(frame);
    };
    sender_ = std::make_unique<commands::CommandSender>(requester_, *this);
    replyHandler_ = std::make_unique<commands::ReplyHandler>(requester_, *this, *clock_);
    for (int i = 0; i < ui_->PageControl->count(); ++i) {
        pages_.emplace_back(ui_->PageControl->widget(i), ui_->PageControl->tabText(i));
    }

    auto guarded = [this](void (TFormMain::*handler)()) {
        return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
    };
    timerRX_ = platform.timers.Create("TimerRX", kTimerRXInterval, guarded(&TFormMain::TimerRXTimer));
    timerGauge_ =
        platform.timers.Create("TimerGauge", kTimerGaugeInterval, guarded(&TFormMain::TimerGaugeTimer));
    timerResetColor_ = platform.timers.Create("TimerResetColor", kTimerResetColorInterval,
                                              guarded(&TFormMain::TimerResetColorTimer));
    timerAlt_ = platform.timers.Create("TimerAlt", kTimerAltInterval, guarded(&TFormMain::TimerAltTimer));
    timerSave_ = platform.timers.Create("TimerSave", kTimerSaveInterval, guarded(&TFormMain::TimerSaveTimer));
    timerRefresh_ =
        platform.timers.Create("TimerRefresh", kTimerRefreshInterval, guarded(&TFormMain::TimerRefreshTimer));
    timerPortWatch_ = platform.timers.Create("TimerPortWatch", kTimerPortWatchInterval,
                                             guarded(&TFormMain::TimerPortWatchTimer));

    SetUpStatusBar();
    ConnectControls();
    ConnectLocalRules();
    SetUpCommands(platform.timers);
    port_.SetErrorNotification([this](const std::string& reason) {
        // The port reports from inside its own signal; the message box waits until that is over.
        const QString text = QString::fromStdString(reason);
        QMetaObject::invokeMethod(
            this, [this, text] { OnPortLost(text); }, Qt::QueuedConnection);
    });
    // Key preview, the status bar's double click and the click on Panel9 are all seen here.
    qApp->installEventFilter(this);

    Guarded([this] { FormCreate(); });

    timerRX_->Start();
    timerAlt_->Start();
    timerSave_->Start();
    timerRefresh_->Start();
}

TFormMain::~TFormMain() {
    port_.SetReceiveNotification(nullptr);
    port_.SetErrorNotification(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Creation

void TFormMain::FormCreate() {
    SetPortFieldText(Text(kDefaultPortName));
    ShowPortState();
    ShowByteCounter(receiver_.ReceivedBytes());

    // The tables' headers and widths were set when the meter data was attached; no database yet.
    meterData_->Database().ShowClosedCaptions();
    StringGridNETClick();
    SetTabVisible(ui_->TabSheetSystem, false);
    SetTabVisible(ui_->TabSheetService, false);
    ui_->PageControl->setCurrentWidget(ui_->TabSheetNET);

    keyPanel_->LoadKeyNames(readKeyNames_ ? readKeyNames_(keyPanel_->KeyFilePath()) : QStringList());
    keyPanel_->CheckBoxUseCryptoClick();

    ui_->ComboBoxPortName->setFocus();
    requester_.SetRequestStatus(link::RequestStatus::None);
    requester_.ShowRequestStatus();
    UpdateCaption();
}

void TFormMain::SetUpStatusBar() {
    QStatusBar* bar = ui_->StatusBar;
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        // At least the design width; a longer text widens the panel rather than being cut off.
        panel->setMinimumWidth(kStatusPanelWidths[i]);
        // The last panel runs to the right edge of the window.
        bar->addWidget(panel, i == 2 ? 1 : 0);
        statusPanels_[i] = panel;
    }
}

void TFormMain::ConnectControls() {
    auto on = [this](auto* sender, auto signal, void (TFormMain::*handler)()) {
        connect(sender, signal, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    };
    on(ui_->ComboBoxPortName, &ui::DropDownComboBox::DropDown, &TFormMain::ComboBoxPortNameDropDown);
    on(ui_->ComboBoxPortName, &QComboBox::activated, &TFormMain::ComboBoxPortNameSelect);
    on(ui_->ComboBoxBaudRate, &QComboBox::activated, &TFormMain::ComboBoxBaudRateChange);
    on(ui_->SpeedButtonHelp, &QToolButton::clicked, &TFormMain::NMainHelpGetHelpClick);
    on(ui_->NMainHelpGetHelp, &QAction::triggered, &TFormMain::NMainHelpGetHelpClick);
    on(ui_->PageControl, &QTabWidget::currentChanged, &TFormMain::PageControlChange);
    on(ui_->NMainOptionsOptions, &QAction::triggered, &TFormMain::NMainOptionsOptionsClick);
    on(ui_->NMainOptionsFullSet, &QAction::triggered, &TFormMain::NMainOptionsFullSetClick);
    on(ui_->NMainEditEraseAll, &QAction::triggered, &TFormMain::NMainEditEraseAllClick);
    on(ui_->NMainEditSort, &QAction::triggered, &TFormMain::NMainEditSortClick);
    on(ui_->NMainEditToExcel, &QAction::triggered, &TFormMain::NMainEditToExcelClick);
    on(ui_->NMainOptionsMonitor, &QAction::triggered, &TFormMain::NMainOptionsMonitorClick);
    // The grid click of all three tables; the network table's row may also move by keyboard.
    for (QTableView* grid : {ui_->StringGridNET, ui_->StringGridPACKETS, ui_->StringGridDAYS}) {
        on(grid, &QAbstractItemView::clicked, &TFormMain::StringGridNETClick);
    }
    on(ui_->StringGridNET->selectionModel(), &QItemSelectionModel::currentRowChanged,
       &TFormMain::StringGridNETClick);
    connect(ui_->MainNFileExit, &QAction::triggered, this, &QWidget::close);
    // The timeout items tick themselves through their exclusive group; the timeout is read from
    // the menu each time a reply wait starts.
    ui_->NMainOptionsTimeoutGroup->setExclusive(true);

    ui_->ComboBoxPortName->setCompleter(nullptr);
}

void TFormMain::ConnectLocalRules() {
    QFont fixedPitch(QStringLiteral("Courier New"));
    fixedPitch.setStyleHint(QFont::TypeWriter);
    fixedPitch.setPointSize(9);
    ui_->ComboBoxFill->setFont(fixedPitch);
    ui_->ComboBoxFill->view()->setFont(fixedPitch);
}

void TFormMain::SetUpCommands(ITimerFactory& timers) {
    const PageServices services{*sender_,
                                requester_,
                                *this,
                                messageBox_,
                                timers,
                                this,
                                [this](QWidget* control) { Highlight(control); },
                                [this](const std::function<void()>& handler) { Guarded(handler); }};
    uartIdPanel_ = std::make_unique<UartIdPanel>(*ui_, services);
    concentratorPage_ = std::make_unique<ConcentratorPage>(*ui_, services, *replyHandler_, [this] {
        const meterdata::TMatrixInterface* net = meterData_->Database().NetStore();
        return net != nullptr ? net->ColCount() - 1 : 0;
    });
    protectedPage_ = std::make_unique<ProtectedPage>(*ui_, services, *clock_);
    servicePage_ = std::make_unique<ServicePage>(*ui_, services);
    lineStatePage_ = std::make_unique<LineStatePage>(*ui_, services);
    commands::ReplyTargets& targets = replyHandler_->Targets();
    targets.concentrator = concentratorPage_.get();
    plcCommandsPage_ = std::make_unique<PlcCommandsPage>(*ui_, services);
    concentratorPage_->SetDebugAction([page = plcCommandsPage_.get()] { page->DebugModeClick(); });
    targets.plc = plcCommandsPage_.get();
    targets.protectedPage = protectedPage_.get();
    targets.service = servicePage_.get();
    targets.lineState = lineStatePage_.get();
    versionPanel_ = std::make_unique<VersionPanel>(*ui_, services);
    targets.version = versionPanel_.get();
    targets.firmware = versionPanel_.get();
    keyPanel_ = std::make_unique<KeyPanel>(*ui_, services, programDirectory_);
    targets.key = keyPanel_.get();
    targets.intake = meterData_.get();
    targets.messages = this;
    healthPage_ = std::make_unique<NetworkHealthPage>(*ui_, *clock_, [this] {
        const meterdata::TMatrixInterface* net = meterData_->Database().NetStore();
        return net != nullptr ? net->ColCount() - 1 : 0;
    });
    linkMonitor_ =
        std::make_unique<TFormLinkMonitor>(requester_, receiver_, *clock_, timers, messageBox_, this);
}

// ---------------------------------------------------------------------------------------------
// Serial connection

int TFormMain::BaudRateOfItem() const {
    const int index = ui_->ComboBoxBaudRate->currentIndex();
    return index >= 0 && index < 3 ? kBaudRates[index] : kBaudRates[0];
}

void TFormMain::OpenConnection() {
    TryOpenConnection(true);
}

bool TFormMain::TryOpenConnection(bool reportFailure) {
    BusyCursor busy;
    port_.SetName(std::string());
    SelectMeter(0);
    UpdateCaption();

    try {
        port_.SetName(ui_->ComboBoxPortName->currentText().toStdString());
        link::LineSettings settings;
        settings.baudRate = BaudRateOfItem();
        port_.SetLineSettings(settings);
        port_.SetReceiveNotification([this] {
            Guarded([this] {
                receiver_.ReceiveNotification();
                // While firmware lines go out, each acknowledgement is handled as it arrives, not
                // at the next TimerRX tick: the upload's pace is the concentrator's.
                if (versionPanel_->LinePhase()) {
                    receiver_.Step();
                    meterData_->Database().CommitJournal();
                }
            });
        });
        port_.Open();
        // Pseudo-terminals have no modem-control lines; that does not stop the link.
        try {
            port_.RaiseRts();
        } catch (const link::SerialPortNotSupported&) {
        }
        try {
            port_.RaiseDtr();
        } catch (const link::SerialPortNotSupported&) {
        }
        UpdateCaption();
        SetTabVisible(ui_->TabSheetSystem, true);
        ui_->NMainOptionsOptions->setEnabled(true);
        ui_->NMainEditEraseAll->setEnabled(true);
        ui_->PanelGauge->show();
    } catch (const std::exception& e) {
        busy.Release();
        if (!reportFailure) {
            port_.Close();
            port_.SetReceiveNotification(nullptr);
            UpdateCaption();
            return false;
        }
        // The port's own reason on a second line: in use, no access, no such device.
        AbandonConnection(Text(kOpenErrorText) + QLatin1Char('\n') + QString::fromUtf8(e.what()));
        return true;
    }
    // Which adapter this is, while it is there: after it vanished, the list no longer says.
    adapterWatch_.Opened(port_.Name(), port_.ListPortInfos());

    ui_->PageControl->show();
    // Outside the protected block: a database that cannot be loaded reaches the general error
    // report once the window is set up, and the port stays open. Files that another instance of
    // the program holds are never shared: the connection is not opened.
    QString databaseError;
    if (database_ != nullptr) {
        try {
            database_->Open(QString::fromStdString(port_.Name()));
        } catch (const DatabaseInUse& e) {
            busy.Release();
            AbandonConnection(QString::fromUtf8(e.what()));
            return true;
        } catch (const std::exception& e) {
            databaseError = QString::fromUtf8(e.what());
        }
        // What the open found is told once, as the files could not be written.
        saveFailureReported_ = database_->SavingFails();
    }

    ui_->PageControl->setCurrentWidget(ui_->TabSheetSystem);
    ui_->PageControl->show();
    ui_->Panel7->show();
    requester_.SetRequestStatus(link::RequestStatus::None);
    requester_.ShowRequestStatus();
    receiver_.ResetReceivedBytes();
    ShowByteCounter(receiver_.ReceivedBytes());
    healthPage_->Reset();
    ShowPortState();
    StringGridNETClick();
    ui_->ButtonAddress->setFocus();

    applicationTitle_ =
        versionCaption_ + QStringLiteral(" [") + QString::fromStdString(port_.Name()) + QStringLiteral("]");
    busy.Release();
    // Only now, with the stores attached and the counters reset, may a message box hold the
    // window: frames go on arriving and being stored under it.
    if (database_ != nullptr) {
        database_->DeliverNotices();
    }
    if (!databaseError.isEmpty()) {
        ReportError(databaseError);
    }
    return true;
}

void TFormMain::AbandonConnection(const QString& message) {
    // Leave nothing half open: a port that opened but could not be set up is closed again.
    port_.Close();
    port_.SetReceiveNotification(nullptr);
    port_.SetName(std::string());
    SetTabVisible(ui_->TabSheetSystem, false);
    SetTabVisible(ui_->TabSheetService, false);
    ui_->NMainEditEraseAll->setEnabled(false);
    ui_->NMainOptionsOptions->setEnabled(false);
    ui_->PanelGauge->hide();
    ui_->PageControl->hide();
    ui_->Panel7->hide();
    ShowPortState();
    messageBox_.Error(this, message);
    SetPortFieldText(Text(kDefaultPortName));
}

void TFormMain::SaveBeforeClosing(const QString& discardCaption) {
    if (database_ == nullptr) {
        return;
    }
    for (;;) {
        try {
            database_->Save();
            return;
        } catch (const std::exception& e) {
            // Nothing that arrived since the last good save would be lost: no need to ask.
            if (!database_->HasUnsavedChanges()) {
                return;
            }
            const QString text = QStringLiteral(
                                     "Не удалось сохранить локальную базу данных:\n%1\n\n"
                                     "Данные, принятые после последнего сохранения, будут потеряны. "
                                     "Повторить попытку?")
                                     .arg(QString::fromUtf8(e.what()));
            if (!messageBox_.Retry(this, text, discardCaption)) {
                return;
            }
        }
    }
}

void TFormMain::CloseConnection(bool saveFirst) {
    // Saved while the port is still open, so nothing that arrives during a question is lost;
    // also after the port vanished, as the stores still hold what came before.
    if (saveFirst) {
        SaveBeforeClosing(QStringLiteral("Продолжить без сохранения"));
    }
    if (port_.IsOpen()) {
        port_.Close();
    }
    port_.SetReceiveNotification(nullptr);
    if (database_ != nullptr) {
        database_->Release();
    }
    ShowPortState();
    ShowByteCounter(receiver_.ReceivedBytes());
    ui_->PanelGauge->hide();
    pause_.Pause(kClosePauseMs);
}

void TFormMain::ComboBoxBaudRateChange() {
    CancelPortWatch();
    CloseConnection(true);
    link::LineSettings settings = port_.Settings();
    settings.baudRate = BaudRateOfItem();
    port_.SetLineSettings(settings);
    OpenConnection();
}

void TFormMain::ComboBoxPortNameDropDown() {
    QComboBox* field = ui_->ComboBoxPortName;
    const QString text = field->currentText();
    const QSignalBlocker quiet(field);
    field->clear();
    for (const link::PortInfo& port : OrderPortList(port_.ListPortInfos())) {
        const QString description = QString::fromStdString(PortDescription(port));
        field->addItem(QString::fromStdString(port.name));
        field->setItemData(field->count() - 1, description, ui::DropDownComboBox::kDescriptionRole);
        field->setItemData(field->count() - 1, description, Qt::ToolTipRole);
    }
    field->setEditText(text);
}

void TFormMain::ComboBoxPortNameSelect() {
    CancelPortWatch();
    CloseConnection(true);
    OpenConnection();
}

bool TFormMain::ComboBoxPortNameKeyDown(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) {
        return false;
    }
    // The key is taken even when opening fails, so it never reaches the field a second time.
    Guarded([this] { ComboBoxPortNameSelect(); });
    return true;
}

void TFormMain::OnPortLost(const QString& reason) {
    if (adapterWatch_.Start()) {
        // Saved before the port and the stores are released; both open again with the adapter.
        Guarded([this] { CloseConnection(true); });
        timerPortWatch_->Start();
    } else {
        // Nothing more arrives on this port: what it brought is saved now, not only at the next
        // minute or the next choice of port.
        Guarded([this] { TimerSaveTimer(); });
    }
    ShowPortState();
    QString text = QStringLiteral("ВНИМАНИЕ! Связь с коммуникационным портом потеряна");
    if (!reason.isEmpty()) {
        text += QStringLiteral(" (") + reason + QStringLiteral(")");
    }
    text += QStringLiteral(".\nПроверьте подключение и выберите порт заново.");
    // A running firmware upload ends now, and its end message says this too.
    if (versionPanel_->PortLost(text)) {
        return;
    }
    messageBox_.Error(this, text);
}

std::uint16_t TFormMain::UartId() const {
    return static_cast<std::uint16_t>(commands::HexFieldParse(ui_->EditAddress->text()) & 0xFFFF);
}

void TFormMain::UpdateCaption() {
    setWindowTitle(versionCaption_ + QStringLiteral(" [") + QString::fromStdString(port_.Name()) +
                   QStringLiteral("]") + QStringLiteral(" - Сч.#") + QString::number(selectedMeter_));
    applicationTitle_ = versionCaption_;
}

void TFormMain::ShowPortState() {
    using Watch = link::AdapterWatch::State;
    const Watch watch = adapterWatch_.CurrentState();
    QString text;
    if (port_.IsOpen()) {
        text = Text(kPortOpenText);
        // Files that are not saved matter more than the news of a reconnection.
        if (database_ != nullptr && database_->SavingFails()) {
            text += Text(kNotSavedText);
        } else if (watch == Watch::Reconnected) {
            text += Text(kReconnectedText);
        }
    } else if (watch == Watch::Waiting) {
        text = Text(kAdapterWaitingText).arg(adapterWatch_.SecondsLeft());
    } else if (watch == Watch::NotFound) {
        text = Text(kAdapterNotFoundText);
    } else {
        text = Text(kPortClosedText);
    }
    statusPanels_[1]->setText(text);
    statusPanels_[1]->setToolTip(text);
}

void TFormMain::CancelPortWatch() {
    adapterWatch_.Cancel();
    timerPortWatch_->Stop();
}

void TFormMain::TimerPortWatchTimer() {
    const std::optional<std::string> name =
        adapterWatch_.Look(port_.ListPortInfos(), timerPortWatch_->Interval());
    if (name) {
        ReopenLostPort(*name);
    }
    if (adapterWatch_.CurrentState() != link::AdapterWatch::State::Waiting) {
        timerPortWatch_->Stop();
    }
    ShowPortState();
}

void TFormMain::ReopenLostPort(const std::string& name) {
    // The open may show a message box, whose event loop must not run the watch again meanwhile.
    timerPortWatch_->Stop();
    SetPortFieldText(QString::fromStdString(name));
    // Listed but not ready yet (its permissions not set, a modem manager probing it): next tick.
    if (!TryOpenConnection(false) && adapterWatch_.CurrentState() == link::AdapterWatch::State::Waiting) {
        timerPortWatch_->Start();
    }
}

void TFormMain::SelectMeter(int meter) {
    selectedMeter_ = meter;
    if (meter != 0) {
        ui_->SpinEditBuffSlotNumber->setValue(meter);
        ui_->SpinEditBuffSlotNumberMonth->setValue(meter);
    }
}

void TFormMain::StringGridNETClick() {
    const QTableView* net = ui_->StringGridNET;
    const QAbstractItemModel* model = net->model();
    bool ok = false;
    int meter = 0;
    if (model != nullptr) {
        const int row = std::max(net->currentIndex().row(), 0);
        meter = model->index(row, 0).data(Qt::DisplayRole).toString().trimmed().toInt(&ok);
    }
    SelectMeter(ok ? meter : 0);
    UpdateCaption();
}

void TFormMain::SetPortFieldText(const QString& text) {
    ui_->ComboBoxPortName->setEditText(text);
    // The caret at the end and the text selected: what the engineer types replaces "COM".
    ui_->ComboBoxPortName->lineEdit()->setSelection(0, static_cast<int>(text.size()));
}

void TFormMain::SetTabVisible(QWidget* page, bool visible) {
    // A hidden page leaves the tab row and comes back in its place. (Hiding it in the row instead
    // makes the tab bar scroll wrongly while its last tab, the service page, is hidden.)
    QTabWidget* tabs = ui_->PageControl;
    const int index = tabs->indexOf(page);
    if (visible == (index >= 0)) {
        return;
    }
    const auto entry =
        std::find_if(pages_.begin(), pages_.end(), [page](const auto& p) { return p.first == page; });
    if (entry == pages_.end()) {
        return;
    }
    if (!visible) {
        entry->second = tabs->tabText(index);
        tabs->removeTab(index);
        return;
    }
    int at = 0;
    for (auto p = pages_.begin(); p != entry; ++p) {
        if (tabs->indexOf(p->first) >= 0) {
            ++at;
        }
    }
    tabs->insertTab(at, page, entry->second);
}

bool TFormMain::TabVisible(QWidget* page) const {
    return ui_->PageControl->indexOf(page) >= 0;
}

// ---------------------------------------------------------------------------------------------
// Window close

void TFormMain::FormClose() {
    CancelPortWatch();
    Guarded([this] { SaveBeforeClosing(QStringLiteral("Закрыть без сохранения")); });
    Guarded([this] { CloseConnection(); });
}

void TFormMain::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// Timers and the link

void TFormMain::TimerRXTimer() {
    receiver_.Step();
    // What the tick filed goes to the journal's writer; the disk is not waited for.
    meterData_->Database().CommitJournal();
}

void TFormMain::TimerGaugeTimer() {
    const bool waiting = requester_.WaitInProgress();
    requester_.GaugeTick();
    if (waiting && !requester_.WaitInProgress()) {
        versionPanel_->ReplyTimedOut();  // a firmware line is sent again
    }
}

void TFormMain::TimerSaveTimer() {
    if (database_ == nullptr) {
        return;
    }
    // Files that cannot be written are reported once per connection; the status bar keeps
    // saying so, and every minute the save is tried again in case the cause is gone.
    try {
        database_->Save();
        ShowPortState();
    } catch (const std::exception&) {
        ShowPortState();
        if (std::exchange(saveFailureReported_, true)) {
            return;
        }
        throw;
    }
}

QAbstractButton* TFormMain::ModeButtonWidget(commands::ModeButton button) const {
    using commands::ModeButton;
    switch (button) {
        case ModeButton::Address:
            return ui_->ButtonAddress;
        case ModeButton::Config:
            return ui_->ButtonConfig;
        case ModeButton::LP:
            return ui_->ButtonLP;
        case ModeButton::LM:
            return ui_->ButtonLM;
        case ModeButton::RTC:
            return ui_->ButtonRTC;
        case ModeButton::Version:
            return ui_->ButtonVersion;
        case ModeButton::SetLongCommand:
            return ui_->ButtonSetLongCommand;
    }
    return nullptr;
}

void TFormMain::TimerAltTimer() {
    const Qt::KeyboardModifiers keys = modifierKeys_.Modifiers();
    const commands::ModeKey mode =
        commands::ModeOf(keys & Qt::ShiftModifier, keys & Qt::ControlModifier, keys & Qt::AltModifier);
    // A mode relabels only its own buttons; the others keep what they show.
    for (commands::ModeButton button : commands::kModeButtons) {
        if (const char* caption = commands::ModeCaption(button, mode)) {
            SetCaption(ModeButtonWidget(button), caption);
        }
    }
}

QList<QWidget*> TFormMain::HighlightedControls() const {
    return {ui_->RadioGroupPortMode,
            ui_->RadioGroupPlcStop,
            ui_->RadioGroupRET,
            ui_->SpinEditSetAMCount,
            ui_->SpinEditRTCppm,
            ui_->EditAddress,
            ui_->EditDate,
            ui_->EditTime,
            ui_->LabelWD,
            ui_->LabelVerinfo,
            ui_->CheckBoxSwitchTime,
            ui_->GroupBox9,
            ui_->Label20,
            ui_->Label24,
            ui_->ComboBoxBaudRate,
            ui_->ComboBoxBaudrateNew,
            ui_->SpinEditBDAY};
}

void TFormMain::TimerResetColorTimer() {
    for (QWidget* control : HighlightedControls()) {
        ui::ResetFontColour(control);
    }
    timerResetColor_->Stop();
}

void TFormMain::Highlight(QWidget* control) {
    ui::SetFontColour(control, ui::kHighlightColour);
    // Enabling a running timer does not restart it: only a new reply wait does.
    if (!timerResetColor_->IsActive()) {
        timerResetColor_->Start();
    }
}

void TFormMain::ShowRequestStatusText(const std::string& panelText) {
    const QString text = QString::fromStdString(panelText);
    statusPanels_[2]->setText(text);
    // The last panel ends at the window's edge: a long status (a memory test, a read-all summary)
    // is read whole in the tooltip.
    statusPanels_[2]->setToolTip(text.trimmed());
}

void TFormMain::ShowGauge(const link::GaugeState& gauge) {
    QProgressBar* bar = ui_->GaugeTimeout;
    bar->setMaximum(std::max(gauge.maximum, 1));
    bar->setValue(std::clamp(gauge.progress, 0, bar->maximum()));
    const QColor background = GaugeColour(gauge.background, palette());
    const QColor foreground = GaugeColour(gauge.foreground, palette());
    QString style;
    if (background.isValid() || foreground.isValid()) {
        style =
            QStringLiteral(
                "QProgressBar { border: 0px; background-color: %1; }"
                " QProgressBar::chunk { background-color: %2; }")
                .arg(background.isValid() ? background.name() : palette().color(QPalette::Button).name(),
                     foreground.isValid() ? foreground.name() : palette().color(QPalette::Highlight).name());
    }
    if (style != gaugeStyle_) {
        gaugeStyle_ = style;
        bar->setStyleSheet(style);
    }
}

void TFormMain::SetGaugeTimerEnabled(bool enabled) {
    if (enabled) {
        timerGauge_->Start();
    } else {
        timerGauge_->Stop();
    }
}

void TFormMain::RestartColorResetTimer() {
    timerResetColor_->Stop();
    timerResetColor_->Start();
}

void TFormMain::SetConnectionInputsEnabled(bool enabled) {
    ui_->ComboBoxPortName->setEnabled(enabled);
    ui_->ComboBoxBaudRate->setEnabled(enabled);
    ui_->EditAddress->setEnabled(enabled);
}

bool TFormMain::AccessControlOn() const {
    return protectedPage_->AccessControlOn();
}

void TFormMain::DisableProtectedButtons() {
    protectedPage_->SetProtectedButtonsEnabled(false);
}

int TFormMain::PortTimeoutSeconds() const {
    if (ui_->NMainOptionsTimeout16->isChecked()) {
        return 16;
    }
    if (ui_->NMainOptionsTimeout8->isChecked()) {
        return 8;
    }
    if (ui_->NMainOptionsTimeout4->isChecked()) {
        return 4;
    }
    if (ui_->NMainOptionsTimeout2->isChecked()) {
        return 2;
    }
    return 1;
}

void TFormMain::HandleReply(link::FrameBuffer& frame) {
    // A reply that cannot be shown is reported here, and the frames after it go on being handled.
    Guarded([this, &frame] { replyHandler_->HandleReply(frame); });
}

void TFormMain::ShowReplyError(const QString& text) {
    messageBox_.Error(this, text);
}

void TFormMain::ShowUartId(std::uint16_t address) {
    ui_->EditAddress->setText(QString::asprintf("%04X", address));
    Highlight(ui_->EditAddress);
}

void TFormMain::SwitchRate(int rateIndex) {
    ui_->ComboBoxBaudRate->setCurrentIndex(rateIndex);
    Highlight(ui_->ComboBoxBaudRate);
    // The port is closed and opened again once the reply has been handled, not inside it.
    QMetaObject::invokeMethod(
        this, [this] { Guarded([this] { ComboBoxBaudRateChange(); }); }, Qt::QueuedConnection);
}

void TFormMain::HandleMeterPacket(const link::FrameBuffer& frame) {
    if (meterPacketHandler_) {
        meterPacketHandler_(frame);
    }
}

void TFormMain::ShowByteCounter(std::uint32_t receivedBytes) {
    statusPanels_[0]->setText(QStringLiteral(" Байт принято = %1").arg(receivedBytes));
}

void TFormMain::StatusBarDblClick() {
    receiver_.ResetReceivedBytes();
    ShowByteCounter(receiver_.ReceivedBytes());
}

QLabel* TFormMain::StatusPanel(int index) const {
    return index >= 0 && index < 3 ? statusPanels_[index] : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Chrome

QString TFormMain::HelpDocument() const {
    // The help file beside the program first; else the manual beside it (a build folder, a
    // portable copy) or where the package installs it.
    const QStringList candidates = {
        helpDirectory_ + Text(kHelpFileName),
        helpDirectory_ + QStringLiteral("manual/index.html"),
        helpDirectory_ + QStringLiteral("../share/doc/lumvaris/manual/index.html"),
    };
    for (const QString& path : candidates) {
        if (QFileInfo(path).isFile()) {
            return QFileInfo(path).absoluteFilePath();
        }
    }
    return {};
}

void TFormMain::NMainHelpGetHelpClick() {
    // A missing help file is not reported.
    const QString path = HelpDocument();
    if (openDocument_ && !path.isEmpty()) {
        openDocument_(path);
    }
}

void TFormMain::Panel9Click() {
    if (!(modifierKeys_.Modifiers() & Qt::ControlModifier) || !TabVisible(ui_->TabSheetSystem)) {
        return;
    }
    const bool show = !TabVisible(ui_->TabSheetService);
    SetTabVisible(ui_->TabSheetService, show);
    ui_->PageControl->setCurrentWidget(show ? ui_->TabSheetService : ui_->TabSheetNET);
}

bool TFormMain::FormKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        Guarded([this] { NMainHelpGetHelpClick(); });
        return true;
    }
    // Esc stops a read of all buffers.
    if (event->key() == Qt::Key_Escape && concentratorPage_->StopReadAll()) {
        return true;
    }
    return false;
}

void TFormMain::PageControlChange() {
    QTabWidget* tabs = ui_->PageControl;
    ui_->NMainEditToExcel->setEnabled(tabs->currentIndex() <= tabs->indexOf(ui_->TabSheetDAYS) ||
                                      healthPage_->IsShowing());
    meterData_->RedrawAll();
    healthPage_->Redraw();
    if (tabs->currentWidget() == ui_->TabSheetPACKETS) {
        ui_->StringGridPACKETS->setFocus();
    } else if (tabs->currentWidget() == ui_->TabSheetDAYS) {
        ui_->StringGridDAYS->setFocus();
    }
}

// ---------------------------------------------------------------------------------------------
// Local database

void TFormMain::SetDialogs(const MainWindowDialogs& dialogs) {
    dialogs_ = dialogs;
    uartIdPanel_->SetAddressDialog(dialogs_.newAddress);
    plcCommandsPage_->SetDebugDialog(dialogs_.debug);
    versionPanel_->SetDialogs(dialogs_.gauge, dialogs_.openDialog);
    linkMonitor_->SetSaveDialog(dialogs_.saveDialog);
    keyPanel_->SetHashDialog(dialogs_.hashCalculate);
    if (dialogs_.appOptions != nullptr) {
        connect(dialogs_.appOptions, &TFormAppOptions::ApplyRequested, this,
                [this] { Guarded([this] { ButtonAopOKClick(); }); });
    }
}

void TFormMain::ButtonAopOKClick() {
    meterData_->ApplySettings();
}

void TFormMain::NMainOptionsOptionsClick() {
    if (dialogs_.appOptions != nullptr && port_.IsOpen()) {
        dialogs_.appOptions->exec();
    }
}

void TFormMain::NMainOptionsFullSetClick() {
    // The action's check mark has toggled already.
    if (port_.IsOpen()) {
        meterData_->RedrawAll();
    }
}

void TFormMain::NMainEditEraseAllClick() {
    if (!port_.IsOpen()) {
        return;
    }
    QString eraseError;
    try {
        meterData_->EraseFiles();
    } catch (const std::exception& e) {
        eraseError = QString::fromUtf8(e.what());
    }
    CloseConnection();
    OpenConnection();
    if (!eraseError.isEmpty()) {
        ReportError(eraseError);
    }
}

void TFormMain::NMainEditSortClick() {
    if (port_.IsOpen()) {
        meterData_->SortStores();
    }
}

void TFormMain::NMainEditToExcelClick() {
    if (healthPage_->IsShowing()) {
        healthPage_->CopyTable();
    } else {
        meterData_->CopyTable();
    }
}

void TFormMain::NMainOptionsMonitorClick() {
    linkMonitor_->show();
    linkMonitor_->raise();
    linkMonitor_->activateWindow();
}

void TFormMain::TimerRefreshTimer() {
    protectedPage_->ShowWorkstationClock();
    meterData_->RefreshTick();
    healthPage_->Redraw();
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            // Key preview: the window sees every key of its own before the focused control.
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget == nullptr || widget->window() != this) {
                break;
            }
            auto* key = static_cast<QKeyEvent*>(event);
            if (FormKeyDown(key) || keyPanel_->ComboBoxKeyKeyDown(watched, *key)) {
                return true;
            }
            if ((watched == ui_->ComboBoxPortName || watched == ui_->ComboBoxPortName->lineEdit()) &&
                ComboBoxPortNameKeyDown(key->key())) {
                return true;
            }
            break;
        }
        case QEvent::MouseButtonDblClick:
            if (watched == ui_->StatusBar || (watched != nullptr && watched->parent() == ui_->StatusBar &&
                                              qobject_cast<QLabel*>(watched) != nullptr)) {
                Guarded([this] { StatusBarDblClick(); });
                return true;
            }
            break;
        case QEvent::MouseButtonRelease:
            if (watched == ui_->Panel9 && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                ui_->Panel9->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
                Guarded([this] { Panel9Click(); });
                return true;
            }
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// The general error report

void TFormMain::ReportError(const QString& text) {
    messageBox_.Error(this, text);
}

void TFormMain::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ReportError(QString::fromUtf8(e.what()));
    } catch (...) {
        ReportError(QStringLiteral("Непредвиденная ошибка."));
    }
}

}  // namespace lumvaris::app
