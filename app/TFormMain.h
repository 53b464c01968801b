#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "commands/IConnectionControl.h"
#include "commands/ModeTable.h"
#include "commands/ProtectedAccess.h"
#include "commands/ReplyDisplays.h"
#include "link/AdapterWatch.h"
#include "link/Receiver.h"
#include "link/Requester.h"
#include "link/SerialPort.h"

namespace lumvaris::meterdata {
class IClock;
}
namespace lumvaris::commands {
class CommandSender;
class ReplyHandler;
}  // namespace lumvaris::commands

class QAbstractButton;
class QLabel;
class QPushButton;
class QKeyEvent;

namespace Ui {
class TFormMain;
}

namespace lumvaris::app {

class IConnectionDatabase;
class IMessageBox;
class IOpenDialog;
class ISaveDialog;
class IModifierKeys;
class ITimer;
class ITimerFactory;
class ConcentratorPage;
class LineStatePage;
class KeyPanel;
class MeterDataBinding;
class ModeButtons;
class NetworkHealthPage;
class PlcCommandsPage;
class ProtectedPage;
class RequestStatusView;
class ServicePage;
class UartIdPanel;
class VersionPanel;
class TFormAppOptions;
class TFormDebug;
class TFormGauge;
class TFormHashCalculate;
class TFormLinkMonitor;
class TFormNewAddress;

// What the main window is built on: the serial port, the pause after a request, the keyboard
// state, message boxes, timers and the process-wide values of the revision step.
struct MainWindowPlatform {
    link::ISerialPort& port;
    link::IPause& pause;
    IModifierKeys& modifierKeys;
    IMessageBox& messageBox;
    ITimerFactory& timers;
    QString programDirectory;  // with a trailing '/'
    QString versionCaption;    // "Lumvaris Rev.1.0"
    // Opens a document with the desktop's default viewer (the help file).
    std::function<void(const QString& path)> openDocument;
    // Identifiers of section "Keys" of the key file, in file order; empty when there is no file.
    std::function<QStringList(const QString& keyFilePath)> readKeyNames;
    // The workstation's clock for the meter data and the date fields; null: the system clock.
    const meterdata::IClock* clock = nullptr;
};

// The five dialogs, created after the main window, the firmware file dialog and the save dialog of
// the traffic monitor.
struct MainWindowDialogs {
    TFormGauge* gauge = nullptr;
    TFormNewAddress* newAddress = nullptr;
    TFormAppOptions* appOptions = nullptr;
    TFormDebug* debug = nullptr;
    TFormHashCalculate* hashCalculate = nullptr;
    IOpenDialog* openDialog = nullptr;
    ISaveDialog* saveDialog = nullptr;
};

// The main window and the composition root: it owns the request sender and the receive path, the
// command sender, the reply handler and the command pages, opens and closes the serial connection,
// and carries the window chrome (status bar, gauge, modifier-key captions, colour reset, help,
// service page). It is the command layer's connection: the UART-ID, the rate the concentrator
// reports, the selected meter.
class TFormMain : public QMainWindow,
                  public link::IFrameConsumer,
                  public commands::IConnectionControl,
                  public commands::IReplyMessages {
    Q_OBJECT
  public:
    static constexpr const char* kOpenErrorText = "ВНИМАНИЕ! При открытии порта произошла ошибка!";
    static constexpr const char* kPortOpenText = " Коммуникационный порт открыт.";
    static constexpr const char* kPortClosedText = " ВНИМАНИЕ! Коммуникационный порт не открыт!";
    // Follows the open-port text while the local database cannot be written.
    static constexpr const char* kNotSavedText = " Данные не сохраняются!";
    // In place of the not-open text while the program waits for a pulled adapter (%1: seconds
    // left) and after it waited in vain; after the open text once it reopened the adapter by
    // itself. Short enough for the panel in a window of the smallest width.
    static constexpr const char* kAdapterWaitingText = " ВНИМАНИЕ! Порт потерян, ожидание адаптера: %1 с";
    static constexpr const char* kAdapterNotFoundText = " ВНИМАНИЕ! Порт не открыт: адаптер не вернулся.";
    static constexpr const char* kReconnectedText = " Связь восстановлена.";
    static constexpr const char* kHelpFileName = "Lumvaris.chm";
    static constexpr const char* kDefaultPortName = "COM";
    static constexpr int kClosePauseMs = 500;

    explicit TFormMain(const MainWindowPlatform& platform, QWidget* parent = nullptr);
    ~TFormMain() override;

    Ui::TFormMain& Form() { return *ui_; }
    link::Requester& Requester() { return requester_; }
    link::Receiver& Receiver() { return receiver_; }
    link::ISerialPort& Port() { return port_; }
    const QString& ProgramDirectory() const { return programDirectory_; }
    // Where the help file and the manual are looked for, with a trailing '/'; the program
    // directory until set. (The program directory above is where the program keeps its files:
    // the user's data directory for an installed program.)
    void SetHelpDirectory(const QString& directory) { helpDirectory_ = directory; }

    // --- Seams wired by the composition (all optional).
    // The local database of the open connection; the window's own meter data unless replaced.
    void SetDatabase(IConnectionDatabase* database) { database_ = database; }
    // The local database and the three tables (owned by the window).
    MeterDataBinding& MeterData() { return *meterData_; }
    commands::ReplyHandler& ReplyHandler() { return *replyHandler_; }
    commands::CommandSender& Sender() { return *sender_; }
    ConcentratorPage& Concentrator() { return *concentratorPage_; }
    PlcCommandsPage& PlcCommands() { return *plcCommandsPage_; }
    ProtectedPage& Protected() { return *protectedPage_; }
    ServicePage& Service() { return *servicePage_; }
    LineStatePage& LineStateTab() { return *lineStatePage_; }
    VersionPanel& Version() { return *versionPanel_; }
    NetworkHealthPage& Health() { return *healthPage_; }
    TFormLinkMonitor& LinkMonitor() { return *linkMonitor_; }
    KeyPanel& Key() { return *keyPanel_; }
    // Every live meter packet (source 0x1001..0x1FFE, payload length 6).
    void SetMeterPacketHandler(std::function<void(const link::FrameBuffer&)> handler) {
        meterPacketHandler_ = std::move(handler);
    }
    // Also connects the settings dialog's "Применить" to ButtonAopOKClick.
    void SetDialogs(const MainWindowDialogs& dialogs);
    const MainWindowDialogs& Dialogs() const { return dialogs_; }

    // --- Serial connection.
    // Opens the port named in the port field at the rate of the rate field, attaches the receive
    // path and opens the database. A failure shows the error message and leaves no connection.
    void OpenConnection();
    // Closes the port, releases the stores (saving them first when asked: a port or rate change;
    // a failed save with new data asks whether to retry), then pauses 500 ms.
    void CloseConnection(bool saveFirst = false);
    // The rate change: close, then open at the rate chosen in ComboBoxBaudRate.
    void ComboBoxBaudRateChange();
    // The destination address of every request: the hex field parse of EditAddress, low 16 bits.
    std::uint16_t UartId() const override;
    // "<version caption> [<port>] - Сч.#<meter>".
    void UpdateCaption();
    QString ApplicationTitle() const { return applicationTitle_; }
    void ShowPortState();
    // The selected meter (0 for none); a meter other than 0 also goes to both meter-number fields.
    void SelectMeter(int meter);
    int SelectedMeter() const override { return selectedMeter_; }
    // The grid click: the selected meter follows the current row of the network table.
    void StringGridNETClick();

    // Shows or hides the tab of a page of PageControl; the pages keep their order.
    void SetTabVisible(QWidget* page, bool visible);
    bool TabVisible(QWidget* page) const;

    // --- Chrome.
    // Paints a control's font maroon until the colour reset timer fires.
    void Highlight(QWidget* control);
    // The general error report: a message box with the error's text.
    void ReportError(const QString& text);
    // Runs a handler; an exception escaping it becomes the general error report.
    void Guarded(const std::function<void()>& handler);

    // Handlers, named after the control and event.
    void ComboBoxPortNameDropDown();
    void ComboBoxPortNameSelect();
    // Enter opens the typed port; returns whether the key was taken.
    bool ComboBoxPortNameKeyDown(int key);
    void StatusBarDblClick();
    void TimerRXTimer();
    void TimerAltTimer();
    void TimerResetColorTimer();
    void TimerSaveTimer();
    void TimerRefreshTimer();
    // While a pulled adapter is awaited: looks for it once a second and reopens it.
    void TimerPortWatchTimer();
    void NMainHelpGetHelpClick();
    // What help opens: "Lumvaris.chm" in the program directory, else the HTML manual; empty when
    // there is neither.
    QString HelpDocument() const;
    void Panel9Click();
    // Key preview: returns whether the window took the key.
    bool FormKeyDown(QKeyEvent* event);
    void PageControlChange();
    void FormClose();
    // The local database's menu items and the settings dialog's "Применить".
    void ButtonAopOKClick();
    void NMainOptionsOptionsClick();
    void NMainOptionsFullSetClick();
    void NMainEditEraseAllClick();
    void NMainEditSortClick();
    void NMainEditToExcelClick();
    // "Монитор обмена": shows the traffic monitor (recording starts the first time).
    void NMainOptionsMonitorClick();

    // The status bar panels (0: received bytes, 1: port state, 2: request status).
    QLabel* StatusPanel(int index) const;

    RequestStatusView& RequestStatus() { return *requestStatus_; }
    // The port timeout ticked in the options menu: 1, 2, 4, 8 or 16 seconds.
    int PortTimeoutSeconds() const;

    // commands::IConnectionControl (UartId and SelectedMeter above)
    bool IsOpen() const override { return port_.IsOpen(); }
    void ShowUartId(std::uint16_t address) override;
    void SwitchRate(int rateIndex) override;

    // commands::IReplyMessages
    void ShowReplyError(const QString& text) override;

    // link::IFrameConsumer
    void HandleReply(link::FrameBuffer& frame) override;
    void HandleMeterPacket(const link::FrameBuffer& frame) override;
    void ShowByteCounter(std::uint32_t receivedBytes) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FormCreate();
    void SetUpStatusBar();
    void ConnectControls();
    void ConnectLocalRules();
    void SetUpCommands(ITimerFactory& timers);
    void SetPortFieldText(const QString& text);
    // Open connection. When the port does not open and reportFailure is false, nothing is shown
    // and the window stays as it was: returns false then, true otherwise.
    bool TryOpenConnection(bool reportFailure);
    // The engineer's own choice of a port or rate ends the wait for a pulled adapter.
    void CancelPortWatch();
    void ReopenLostPort(const std::string& name);
    // The failure path of an open: no connection, the message, the port field back to "COM".
    void AbandonConnection(const QString& message);
    // Saves the database; while a save fails and data would be lost, asks whether to retry.
    void SaveBeforeClosing(const QString& discardCaption);
    void OnPortLost(const QString& reason);
    int BaudRateOfItem() const;
    QList<QWidget*> HighlightedControls() const;

    link::ISerialPort& port_;
    link::IPause& pause_;
    IModifierKeys& modifierKeys_;
    IMessageBox& messageBox_;
    QString programDirectory_;
    QString helpDirectory_;
    QString versionCaption_;
    std::function<void(const QString&)> openDocument_;
    std::function<QStringList(const QString&)> readKeyNames_;

    std::unique_ptr<Ui::TFormMain> ui_;
    link::Requester requester_;
    link::Receiver receiver_;

    std::unique_ptr<ITimer> timerRX_;
    std::unique_ptr<ITimer> timerResetColor_;
    std::unique_ptr<ITimer> timerAlt_;
    std::unique_ptr<ITimer> timerSave_;
    std::unique_ptr<ITimer> timerRefresh_;
    std::unique_ptr<ITimer> timerPortWatch_;
    link::AdapterWatch adapterWatch_;

    std::vector<std::pair<QWidget*, QString>> pages_;  // every page of PageControl in order, with its caption
    QLabel* statusPanels_[3] = {};
    std::unique_ptr<RequestStatusView> requestStatus_;
    std::unique_ptr<ModeButtons> modeButtons_;
    commands::ProtectedAccess access_;

    std::unique_ptr<meterdata::IClock> ownClock_;
    const meterdata::IClock* clock_ = nullptr;  // the platform's, or the own one
    std::unique_ptr<MeterDataBinding> meterData_;
    IConnectionDatabase* database_ = nullptr;
    std::unique_ptr<commands::CommandSender> sender_;
    std::unique_ptr<commands::ReplyHandler> replyHandler_;
    std::unique_ptr<UartIdPanel> uartIdPanel_;
    std::unique_ptr<ConcentratorPage> concentratorPage_;
    std::unique_ptr<PlcCommandsPage> plcCommandsPage_;
    std::unique_ptr<ProtectedPage> protectedPage_;
    std::unique_ptr<ServicePage> servicePage_;
    std::unique_ptr<LineStatePage> lineStatePage_;
    std::unique_ptr<VersionPanel> versionPanel_;
    std::unique_ptr<NetworkHealthPage> healthPage_;
    // Listens to requester_ and receiver_, so it goes before them.
    std::unique_ptr<TFormLinkMonitor> linkMonitor_;
    std::unique_ptr<KeyPanel> keyPanel_;
    std::function<void(const link::FrameBuffer&)> meterPacketHandler_;
    MainWindowDialogs dialogs_;

    int selectedMeter_ = 0;
    bool saveFailureReported_ = false;  // this connection's files were said to be unwritable
    QString applicationTitle_;
};

}  // namespace lumvaris::app
