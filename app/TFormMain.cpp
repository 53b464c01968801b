#include "TFormMain.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <algorithm>
#include <exception>

#include "app/ConcentratorPage.h"
#include "app/Desktop.h"
#include "app/Highlights.h"
#include "app/IMessageBox.h"
#include "app/IModifierKeys.h"
#include "app/KeyPanel.h"
#include "app/LanguageMenu.h"
#include "app/LineStatePage.h"
#include "app/MeterDataBinding.h"
#include "app/ModeButtons.h"
#include "app/NetworkHealthPage.h"
#include "app/PlcCommandsPage.h"
#include "app/PortList.h"
#include "app/PortStateText.h"
#include "app/ProtectedPage.h"
#include "app/ReadingsMenu.h"
#include "app/RequestStatusView.h"
#include "app/ServicePage.h"
#include "app/StatusPanels.h"
#include "app/TFormAppOptions.h"
#include "app/TFormLinkMonitor.h"
#include "app/UartIdPanel.h"
#include "app/VersionPanel.h"
#include "commands/HexField.h"
#include "meterdata/SystemClock.h"
#include "session/ITimer.h"
#include "session/Result.h"
#include "ui/DropDownComboBox.h"
#include "ui/TabPages.h"
#include "ui_FormMain.h"

namespace lumvaris::app {
namespace {

constexpr int kTimerAltInterval = 100;
constexpr int kTimerRefreshInterval = 1000;

}  // namespace

TFormMain::TFormMain(const MainWindowPlatform& platform, QWidget* parent)
    : QMainWindow(parent),
      modifierKeys_(platform.modifierKeys),
      messageBox_(platform.messageBox),
      helpDirectory_(platform.programDirectory),
      portChoice_(platform.programDirectory),
      versionCaption_(platform.versionCaption),
      language_(platform.language),
      openDocument_(platform.openDocument),
      readKeyNames_(platform.readKeyNames),
      ui_(new Ui::TFormMain) {
    ui_->setupUi(this);
    if (platform.clock == nullptr) {
        ownClock_ = std::make_unique<meterdata::SystemClock>();
    }
    clock_ = platform.clock != nullptr ? platform.clock : ownClock_.get();
    connection_ = std::make_unique<session::Connection>(
        session::Connection::Platform{platform.port, platform.pause, platform.timers, *clock_,
                                      platform.programDirectory},
        this);
    connection_->SetListener(this);
    connection_->SetQuestions(this);
    meterData_ = std::make_unique<MeterDataBinding>(*this, connection_->Database(), *clock_);
    tabs_ = std::make_unique<ui::TabPages>(ui_->PageControl);
    auto guarded = [this](std::function<void()> handler) {
        return [this, handler = std::move(handler)] { Guarded(handler); };
    };
    timerAlt_ =
        platform.timers.Create("TimerAlt", kTimerAltInterval, guarded([this] { modeButtons_->Tick(); }));
    timerRefresh_ = platform.timers.Create("TimerRefresh", kTimerRefreshInterval,
                                           guarded([this] { TimerRefreshTimer(); }));
    highlights_ = std::make_unique<Highlights>(platform.timers);

    statusPanels_ = std::make_unique<StatusPanels>(ui_->StatusBar);
    requestStatus_ = std::make_unique<RequestStatusView>(
        connection_->Requester(),
        RequestStatusView::Parts{statusPanels_->Panel(2),
                                 ui_->GaugeTimeout,
                                 {ui_->ComboBoxPortName, ui_->ComboBoxBaudRate, ui_->EditAddress},
                                 [this] { highlights_->RestartReset(); }});
    ConnectControls();
    SetUpCommands(platform.timers);
    // Owned by the menu.
    languageMenu_ =
        new LanguageMenu(*ui_->NMainOptions, platform.programDirectory, platform.language, messageBox_, this);
    // Key preview, the status bar's double click and the click on Panel9 are all seen here.
    qApp->installEventFilter(this);

    // No connection at start.
    SetPortFieldText(QString::fromLatin1(kDefaultPortName));
    ShowPortState();
    ByteCounter(connection_->ReceivedBytes());
    meterData_->Database().ShowClosedCaptions();
    StringGridNETClick();
    SetTabVisible(ui_->TabSheetSystem, false);
    SetTabVisible(ui_->TabSheetService, false);
    ui_->PageControl->setCurrentWidget(ui_->TabSheetNET);
    keyPanel_->LoadKeyNames(readKeyNames_ ? readKeyNames_(keyPanel_->KeyFilePath()) : QStringList());
    keyPanel_->CheckBoxUseCryptoClick();
    ui_->ComboBoxPortName->setFocus();
    connection_->Requester().ShowRequestStatus();
    UpdateCaption();

    timerAlt_->Start();
    timerRefresh_->Start();
}

TFormMain::~TFormMain() {
    qApp->removeEventFilter(this);
    connection_->SetListener(nullptr);
    connection_->SetQuestions(nullptr);
}

void TFormMain::ConnectControls() {
    auto on = [this](auto* sender, auto signal, std::function<void()> handler) {
        connect(sender, signal, this, [this, handler = std::move(handler)] { Guarded(handler); });
    };
    on(ui_->ComboBoxPortName, &ui::DropDownComboBox::DropDown, [this] { ComboBoxPortNameDropDown(); });
    on(ui_->ComboBoxPortName, &QComboBox::activated, [this] { ComboBoxPortNameSelect(); });
    // A rate chosen opens the port again at it.
    on(ui_->ComboBoxBaudRate, &QComboBox::activated, [this] { ComboBoxPortNameSelect(); });
    on(ui_->SpeedButtonHelp, &QToolButton::clicked, [this] { NMainHelpGetHelpClick(); });
    on(ui_->NMainHelpGetHelp, &QAction::triggered, [this] { NMainHelpGetHelpClick(); });
    on(ui_->PageControl, &QTabWidget::currentChanged, [this] { PageControlChange(); });
    on(ui_->NMainOptionsOptions, &QAction::triggered, [this] { NMainOptionsOptionsClick(); });
    on(ui_->NMainOptionsFullSet, &QAction::triggered, [this] {
        // The action's check mark has toggled already.
        if (connection_->IsOpen()) {
            meterData_->RedrawAll();
        }
    });
    on(ui_->NMainEditEraseAll, &QAction::triggered, [this] { NMainEditEraseAllClick(); });
    on(ui_->NMainEditSort, &QAction::triggered, [this] {
        if (connection_->IsOpen()) {
            meterData_->SortStores();
        }
    });
    on(ui_->NMainEditToExcel, &QAction::triggered, [this] { NMainEditToExcelClick(); });
    on(ui_->NMainOptionsMonitor, &QAction::triggered, [this] {
        linkMonitor_->show();
        linkMonitor_->raise();
        linkMonitor_->activateWindow();
    });
    // The grid click of all three tables; the network table's row may also move by keyboard.
    for (QTableView* grid : {ui_->StringGridNET, ui_->StringGridPACKETS, ui_->StringGridDAYS}) {
        on(grid, &QAbstractItemView::clicked, [this] { StringGridNETClick(); });
    }
    on(ui_->StringGridNET->selectionModel(), &QItemSelectionModel::currentRowChanged,
       [this] { StringGridNETClick(); });
    connect(ui_->MainNFileExit, &QAction::triggered, this, &QWidget::close);
    connect(ui_->EditAddress, &QLineEdit::textChanged, this, [this](const QString& text) {
        const auto uartId = static_cast<std::uint16_t>(commands::HexFieldParse(text) & 0xFFFF);
        connection_->SetUartId(uartId);
        if (readings_) {
            readings_->SetUartId(uartId);
        }
    });
    on(ui_->NMainFileExport, &QAction::triggered, [this] { readings_->NMainFileExportClick(); });
    on(ui_->NMainOptionsCentralDatabase, &QAction::triggered,
       [this] { readings_->NMainOptionsCentralDatabaseClick(); });
    on(ui_->NMainOptionsBroker, &QAction::triggered, [this] { readings_->NMainOptionsBrokerClick(); });
    ui_->ComboBoxPortName->setCompleter(nullptr);

    // The timeout items tick themselves through their exclusive group; each carries its seconds,
    // and the reply waits from then on take the one ticked.
    ui_->NMainOptionsTimeoutGroup->setExclusive(true);
    int seconds = 1;  // 1, 2, 4, 8, 16 s
    for (QAction* timeout : {ui_->NMainOptionsTimeout1, ui_->NMainOptionsTimeout2, ui_->NMainOptionsTimeout4,
                             ui_->NMainOptionsTimeout8, ui_->NMainOptionsTimeout16}) {
        timeout->setData(std::exchange(seconds, seconds * 2));
    }
    connect(ui_->NMainOptionsTimeoutGroup, &QActionGroup::triggered, this, [this] {
        portChoice_.ChooseTimeout();
        connection_->Requester().SetTimeoutSeconds(PortTimeoutSeconds());
    });
    connection_->Requester().SetTimeoutSeconds(PortTimeoutSeconds());
    // Each rate item carries its bit/s; the item's place is the concentrator's rate index.
    for (QComboBox* rates : {ui_->ComboBoxBaudRate, ui_->ComboBoxBaudrateNew}) {
        for (int i = 0; i < rates->count(); ++i) {
            rates->setItemData(i, rates->itemText(i).toInt());
        }
    }
}

void TFormMain::SetUpCommands(session::ITimerFactory& timers) {
    modeButtons_ = std::make_unique<ModeButtons>(*ui_, modifierKeys_);
    const PageServices services{connection_->Sender(),
                                connection_->Requester(),
                                *requestStatus_,
                                *connection_,
                                *modeButtons_,
                                messageBox_,
                                timers,
                                this,
                                *highlights_,
                                [this](const std::function<void()>& handler) { Guarded(handler); }};
    auto networkMeters = [this] { return meterData_->Meters(); };
    uartIdPanel_ = std::make_unique<UartIdPanel>(*ui_, services);
    concentratorPage_ =
        std::make_unique<ConcentratorPage>(*ui_, services, connection_->Replies(), networkMeters);
    protectedPage_ = std::make_unique<ProtectedPage>(*ui_, services, *clock_, connection_->Access());
    servicePage_ = std::make_unique<ServicePage>(*ui_, services);
    lineStatePage_ = std::make_unique<LineStatePage>(*ui_, services);
    plcCommandsPage_ = std::make_unique<PlcCommandsPage>(*ui_, services);
    concentratorPage_->SetDebugAction([page = plcCommandsPage_.get()] { page->DebugModeClick(); });
    versionPanel_ = std::make_unique<VersionPanel>(*ui_, services);
    keyPanel_ = std::make_unique<KeyPanel>(*ui_, services, connection_->ProgramDirectory());
    healthPage_ = std::make_unique<NetworkHealthPage>(*ui_, *clock_, networkMeters);
    readings_ =
        std::make_unique<ReadingsMenu>(*ui_, *connection_, messageBox_, this,
                                       [this](const QString& text) { requestStatus_->ShowText(text); });
    linkMonitor_ = std::make_unique<TFormLinkMonitor>(connection_->Requester(), connection_->Receiver(),
                                                      *clock_, timers, messageBox_, this);
    commands::ReplyTargets& targets = connection_->Replies().Targets();
    targets = {concentratorPage_.get(), protectedPage_.get(),
               servicePage_.get(),      lineStatePage_.get(),
               plcCommandsPage_.get(),  keyPanel_.get(),
               versionPanel_.get(),     versionPanel_.get(),
               meterData_.get(),        this};
    // While firmware lines go out, each acknowledgement is handled as it arrives, not at the next
    // receive tick: the upload's pace is the concentrator's.
    connection_->SetDispatchOnReceive([this] { return versionPanel_->LinePhase(); });
}

// ---------------------------------------------------------------------------------------------
// The connection

int TFormMain::BaudRateOfItem() const {
    const int rate = ui_->ComboBoxBaudRate->currentData().toInt();
    return rate > 0 ? rate : session::Connection::kBaudRates[0];
}

void TFormMain::OpenConnection() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SelectMeter(0);
    connection_->Open(ui_->ComboBoxPortName->currentText(), BaudRateOfItem());
    QApplication::restoreOverrideCursor();
    UpdateCaption();
}

void TFormMain::ComboBoxPortNameSelect() {
    connection_->CancelAdapterWatch();
    connection_->Close(session::CloseReason::Change);
    OpenConnection();
}

bool TFormMain::CancelConnecting() {
    const session::ConnectionState state = connection_->State();
    if (state != session::ConnectionState::Connecting &&
        state != session::ConnectionState::WaitingForNetwork) {
        return false;
    }
    connection_->CancelAdapterWatch();
    connection_->Close(session::CloseReason::Change);
    ShowConnectionPages(false);
    ShowPortState();
    SetPortFieldText(QString::fromLatin1(kDefaultPortName));
    return true;
}

void TFormMain::ConnectionOpening() {
    meterData_->ReadSettingsFromDialog();
}

void TFormMain::ConnectionOpened() {
    // A pulled adapter may come back under another name.
    if (ui_->ComboBoxPortName->currentText() != connection_->PortName()) {
        SetPortFieldText(connection_->PortName());
    }
    const int rate = session::Connection::RateIndex(connection_->BaudRate());
    if (rate >= 0 && rate != ui_->ComboBoxBaudRate->currentIndex()) {
        ui_->ComboBoxBaudRate->setCurrentIndex(rate);
    }
    meterData_->WriteSettingsToDialog();
    readings_->ConnectionOpened();
    const session::NetworkPortChoice::Opened choice = portChoice_.PortOpened(connection_->PortName());
    for (QAction* timeout : ui_->NMainOptionsTimeoutGroup->actions()) {
        if (timeout->data().toInt() == choice.timeoutSeconds) {
            timeout->setChecked(true);
            connection_->Requester().SetTimeoutSeconds(PortTimeoutSeconds());
        }
    }
    if (!choice.note.isEmpty()) {
        requestStatus_->ShowText(choice.note);
    }
    ShowConnectionPages(true);
    ui_->PageControl->setCurrentWidget(ui_->TabSheetSystem);
    healthPage_->Reset();
    ShowPortState();
    StringGridNETClick();
    ui_->ButtonAddress->setFocus();
    UpdateCaption();
    // What a kill or a power cut had left in the journal came back into the stores.
    if (const QString recovered = meterData_->Database().RecoveredText(); !recovered.isEmpty()) {
        requestStatus_->ShowText(recovered);
    }
}

void TFormMain::ConnectionRefused(const QString& message) {
    ShowConnectionPages(false);
    ShowPortState();
    UpdateCaption();
    messageBox_.Error(this, message);
    SetPortFieldText(QString::fromLatin1(kDefaultPortName));
}

void TFormMain::ConnectionClosed() {
    ShowPortState();
    ByteCounter(connection_->ReceivedBytes());
    ui_->PanelGauge->hide();
}

void TFormMain::ShowConnectionPages(bool open) {
    SetTabVisible(ui_->TabSheetSystem, open);
    if (!open) {
        SetTabVisible(ui_->TabSheetService, false);
    }
    ui_->NMainOptionsOptions->setEnabled(open);
    ui_->NMainEditEraseAll->setEnabled(open);
    ui_->NMainFileExport->setEnabled(open);
    ui_->PanelGauge->setVisible(open);
    ui_->PageControl->setVisible(open);
    ui_->Panel7->setVisible(open);
}

void TFormMain::PortLost(const QString& message) {
    // A running firmware upload ends now, and its end message says this too.
    if (!versionPanel_->PortLost(message)) {
        messageBox_.Error(this, message);
    }
}

bool TFormMain::RetrySave(const QString& text, session::CloseReason reason) {
    return !unattended_ &&
           messageBox_.Retry(this, text,
                             reason == session::CloseReason::Exit ? tr("Закрыть без сохранения")
                                                                  : tr("Продолжить без сохранения"));
}

void TFormMain::UartIdReported(std::uint16_t address) {
    ui_->EditAddress->setText(QString::asprintf("%04X", address));
    Highlight(ui_->EditAddress);
}

void TFormMain::RateFollowed(int rateIndex) {
    ui_->ComboBoxBaudRate->setCurrentIndex(rateIndex);
    Highlight(ui_->ComboBoxBaudRate);
}

void TFormMain::ByteCounter(std::uint32_t bytes) {
    statusPanels_->ShowBytes(bytes);
}

void TFormMain::MeterPacketHeard(const link::FrameBuffer& frame) {
    healthPage_->HearPacket(frame);
}

void TFormMain::ShowPortState() {
    const QString journalProblem = meterData_->Database().JournalProblem();
    statusPanels_->ShowPortState(PortStateText(*connection_, !journalProblem.isEmpty()), journalProblem);
}

void TFormMain::ComboBoxPortNameDropDown() {
    std::vector<std::pair<QString, QString>> entries;
    for (const link::PortInfo& port : OrderPortList(connection_->Port().ListPortInfos())) {
        entries.emplace_back(QString::fromStdString(port.name),
                             QString::fromStdString(PortDescription(port)));
    }
    const auto recent = portChoice_.RecentEntries();
    entries.insert(entries.end(), recent.begin(), recent.end());
    ui_->ComboBoxPortName->SetEntries(entries);
}

void TFormMain::UpdateCaption() {
    setWindowTitle(tr("%1 [%2] - Сч.#%3").arg(versionCaption_, connection_->PortName()).arg(selectedMeter_));
}

void TFormMain::SelectMeter(int meter) {
    selectedMeter_ = meter;
    if (meter != 0) {
        ui_->SpinEditBuffSlotNumber->setValue(meter);
        ui_->SpinEditBuffSlotNumberMonth->setValue(meter);
    }
    UpdateCaption();
}

void TFormMain::StringGridNETClick() {
    SelectMeter(meterData_->NetworkRowMeter());
}

void TFormMain::SetPortFieldText(const QString& text) {
    ui_->ComboBoxPortName->setEditText(text);
    // The caret at the end and the text selected: what the engineer types replaces "COM".
    ui_->ComboBoxPortName->lineEdit()->setSelection(0, static_cast<int>(text.size()));
}

void TFormMain::SetTabVisible(QWidget* page, bool visible) {
    tabs_->SetVisible(page, visible);
}

bool TFormMain::TabVisible(QWidget* page) const {
    return tabs_->Visible(page);
}

int TFormMain::PortTimeoutSeconds() const {
    const QAction* ticked = ui_->NMainOptionsTimeoutGroup->checkedAction();
    return ticked != nullptr ? ticked->data().toInt() : link::Requester::kDefaultTimeoutSeconds;
}

// ---------------------------------------------------------------------------------------------
// Window close

void TFormMain::StopUnattended() {
    unattended_ = true;
    // First: every event loop, also that of a message box or dialog now open, leaves, and a box
    // the close might still raise returns at once instead of waiting for someone.
    QCoreApplication::exit(0);
    close();
}

void TFormMain::closeEvent(QCloseEvent* event) {
    connection_->CancelAdapterWatch();
    connection_->Close(session::CloseReason::Exit);
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// Chrome

void TFormMain::Highlight(QWidget* control) {
    highlights_->Highlight(control);
}

void TFormMain::TimerRefreshTimer() {
    protectedPage_->ShowWorkstationClock();
    meterData_->RefreshTick();
    healthPage_->Redraw();
}

QLabel* TFormMain::StatusPanel(int index) const {
    return statusPanels_->Panel(index);
}

void TFormMain::NMainHelpGetHelpClick() {
    // A missing help file is not reported.
    const QString path = HelpDocument(helpDirectory_, language_);
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
    readings_->SetExportDialog(dialogs_.exportDialog);
    keyPanel_->SetHashDialog(dialogs_.hashCalculate);
    if (dialogs_.appOptions != nullptr) {
        connect(dialogs_.appOptions, &TFormAppOptions::ApplyRequested, this,
                [this] { Guarded([this] { ButtonAopOKClick(); }); });
    }
}

void TFormMain::ButtonAopOKClick() {
    if (const session::Result applied = meterData_->ApplySettings(); !applied.IsDone()) {
        ReportError(applied.Message());
    }
}

void TFormMain::NMainOptionsOptionsClick() {
    if (dialogs_.appOptions != nullptr && connection_->IsOpen()) {
        dialogs_.appOptions->exec();
    }
}

void TFormMain::NMainEditEraseAllClick() {
    if (!connection_->IsOpen()) {
        return;
    }
    const session::Result erased = meterData_->EraseFiles();
    connection_->Close();
    OpenConnection();
    if (!erased.IsDone()) {
        ReportError(erased.Message());
    }
}

void TFormMain::NMainEditToExcelClick() {
    if (healthPage_->IsShowing()) {
        healthPage_->CopyTable();
    } else {
        meterData_->CopyTable();
    }
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            // Key preview: the window sees every key of its own before the focused control.
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget == nullptr || widget->window() != this) {
                break;
            }
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_F1) {
                Guarded([this] { NMainHelpGetHelpClick(); });
                return true;
            }
            // Esc stops a read of all buffers.
            if ((key->key() == Qt::Key_Escape && concentratorPage_->StopReadAll()) ||
                keyPanel_->ComboBoxKeyKeyDown(watched, *key)) {
                return true;
            }
            // Esc gives up a network connection being made or awaited.
            if (key->key() == Qt::Key_Escape && CancelConnecting()) {
                return true;
            }
            // Enter in the port field opens the typed port; the key is taken even when opening
            // fails, so it never reaches the field a second time.
            if ((watched == ui_->ComboBoxPortName || watched == ui_->ComboBoxPortName->lineEdit()) &&
                (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
                Guarded([this] { ComboBoxPortNameSelect(); });
                return true;
            }
            break;
        }
        case QEvent::MouseButtonDblClick:
            // The status bar's double click starts the byte counter from 0.
            if (watched == ui_->StatusBar || (watched != nullptr && watched->parent() == ui_->StatusBar &&
                                              qobject_cast<QLabel*>(watched) != nullptr)) {
                connection_->ResetByteCounter();
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

void TFormMain::ShowReplyError(const QString& text) {
    messageBox_.Error(this, text);
}

void TFormMain::ReportError(const QString& text) {
    messageBox_.Error(this, text);
}

void TFormMain::Guarded(const std::function<void()>& handler) {
    if (const session::Result done = session::Result::Catching(handler); !done.IsDone()) {
        ReportError(done.Message());
    }
}

}  // namespace lumvaris::app
