#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/MainWindowPlatform.h"
#include "commands/ReplyDisplays.h"
#include "session/Connection.h"
#include "session/NetworkPortChoice.h"

namespace lumvaris::session {
class ITimer;
}
namespace lumvaris::ui {
class TabPages;
}

class QLabel;
class QKeyEvent;

namespace Ui {
class TFormMain;
}

namespace lumvaris::app {

class ConcentratorPage;
class Highlights;
class KeyPanel;
class LineStatePage;
class MeterDataBinding;
class ModeButtons;
class NetworkHealthPage;
class PlcCommandsPage;
class ProtectedPage;
class LanguageMenu;
class ReadingsMenu;
class RequestStatusView;
class StatusPanels;
class ServicePage;
class UartIdPanel;
class VersionPanel;
class TFormLinkMonitor;

// The main window, the window's face of a connection: it builds the connection, the tables and the
// command pages and wires them, and draws what the connection says (port state, byte counter,
// pages of an open connection). It carries the chrome: status bar, help, service page, key preview.
class TFormMain : public QMainWindow,
                  private session::IConnectionListener,
                  private session::IConnectionQuestions,
                  public commands::IReplyMessages {
    Q_OBJECT
  public:
    static constexpr const char* kDefaultPortName = "COM";

    explicit TFormMain(const MainWindowPlatform& platform, QWidget* parent = nullptr);
    ~TFormMain() override;

    Ui::TFormMain& Form() { return *ui_; }
    session::Connection& Connection() { return *connection_; }
    MeterDataBinding& MeterData() { return *meterData_; }
    RequestStatusView& RequestStatus() { return *requestStatus_; }
    ConcentratorPage& Concentrator() { return *concentratorPage_; }
    PlcCommandsPage& PlcCommands() { return *plcCommandsPage_; }
    ProtectedPage& Protected() { return *protectedPage_; }
    LineStatePage& LineStateTab() { return *lineStatePage_; }
    VersionPanel& Version() { return *versionPanel_; }
    NetworkHealthPage& Health() { return *healthPage_; }
    TFormLinkMonitor& LinkMonitor() { return *linkMonitor_; }
    KeyPanel& Key() { return *keyPanel_; }
    ReadingsMenu& Readings() { return *readings_; }
    LanguageMenu& Language() { return *languageMenu_; }
    // Where the help file and the manual are looked for, with a trailing '/'; the program
    // directory until set (for an installed program that is the user's data directory).
    void SetHelpDirectory(const QString& directory) { helpDirectory_ = directory; }
    // Also connects the settings dialog's "Применить" to ButtonAopOKClick.
    void SetDialogs(const MainWindowDialogs& dialogs);
    const MainWindowDialogs& Dialogs() const { return dialogs_; }

    // Opens the port named in the port field at the rate of the rate field.
    void OpenConnection();
    // A stop signal (SIGTERM, SIGHUP, SIGINT): the program ends as "Выход" ends it, from the event
    // loop and without a question, since nobody may be there to answer; what cannot be saved
    // stays in the journal.
    void StopUnattended();
    // The selected meter (0 for none); a meter other than 0 also goes to both meter-number fields.
    void SelectMeter(int meter);
    int SelectedMeter() const { return selectedMeter_; }
    // The grid click: the selected meter follows the current row of the network table.
    void StringGridNETClick();
    // Shows or hides the tab of a page of PageControl; the pages keep their order.
    void SetTabVisible(QWidget* page, bool visible);
    bool TabVisible(QWidget* page) const;
    // The port timeout ticked in the options menu: 1, 2, 4, 8 or 16 seconds.
    int PortTimeoutSeconds() const;
    // Paints a control's font maroon until the colour reset.
    void Highlight(QWidget* control);
    // The general error report: a message box with the error's text.
    void ReportError(const QString& text) override;
    // Runs a handler; an exception escaping it becomes the general error report.
    void Guarded(const std::function<void()>& handler);
    // The status bar panels (0: received bytes, 1: port state, 2: request status).
    QLabel* StatusPanel(int index) const;

    // Handlers, named after the control and event.
    void ComboBoxPortNameDropDown();
    void ComboBoxPortNameSelect();
    // Esc while a network connection is being made or awaited: given up, the port field emptied.
    bool CancelConnecting();
    void TimerRefreshTimer();
    void NMainHelpGetHelpClick();
    void Panel9Click();
    void PageControlChange();
    void ButtonAopOKClick();
    void NMainOptionsOptionsClick();
    void NMainEditEraseAllClick();
    void NMainEditToExcelClick();

    // commands::IReplyMessages
    void ShowReplyError(const QString& text) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ConnectControls();
    void SetUpCommands(session::ITimerFactory& timers);
    void SetPortFieldText(const QString& text);
    void UpdateCaption();
    void ShowPortState();
    void ShowConnectionPages(bool open);
    int BaudRateOfItem() const;

    // session::IConnectionListener
    void ConnectionOpening() override;
    void ConnectionOpened() override;
    void ConnectionRefused(const QString& message) override;
    void ConnectionClosed() override;
    void StateChanged() override { ShowPortState(); }
    void PortLost(const QString& message) override;
    void UartIdReported(std::uint16_t address) override;
    void RateFollowed(int rateIndex) override;
    void ByteCounter(std::uint32_t bytes) override;
    void MeterPacketHeard(const link::FrameBuffer& frame) override;
    // session::IConnectionQuestions
    bool RetrySave(const QString& text, session::CloseReason reason) override;

    IModifierKeys& modifierKeys_;
    IMessageBox& messageBox_;
    QString helpDirectory_;
    session::NetworkPortChoice portChoice_;
    QString versionCaption_;
    QString language_;
    std::function<void(const QString&)> openDocument_;
    std::function<QStringList(const QString&)> readKeyNames_;

    std::unique_ptr<Ui::TFormMain> ui_;
    std::unique_ptr<meterdata::IClock> ownClock_;
    const meterdata::IClock* clock_ = nullptr;  // the platform's, or the own one
    std::unique_ptr<session::Connection> connection_;
    std::unique_ptr<session::ITimer> timerAlt_;
    std::unique_ptr<session::ITimer> timerRefresh_;
    std::unique_ptr<ui::TabPages> tabs_;
    std::unique_ptr<StatusPanels> statusPanels_;

    std::unique_ptr<Highlights> highlights_;
    std::unique_ptr<RequestStatusView> requestStatus_;
    std::unique_ptr<ModeButtons> modeButtons_;
    std::unique_ptr<MeterDataBinding> meterData_;
    std::unique_ptr<UartIdPanel> uartIdPanel_;
    std::unique_ptr<ConcentratorPage> concentratorPage_;
    std::unique_ptr<PlcCommandsPage> plcCommandsPage_;
    std::unique_ptr<ProtectedPage> protectedPage_;
    std::unique_ptr<ServicePage> servicePage_;
    std::unique_ptr<LineStatePage> lineStatePage_;
    std::unique_ptr<VersionPanel> versionPanel_;
    std::unique_ptr<NetworkHealthPage> healthPage_;
    // Listens to the connection's requester and receiver, so it goes before them.
    std::unique_ptr<TFormLinkMonitor> linkMonitor_;
    std::unique_ptr<KeyPanel> keyPanel_;
    std::unique_ptr<ReadingsMenu> readings_;
    LanguageMenu* languageMenu_ = nullptr;
    MainWindowDialogs dialogs_;

    int selectedMeter_ = 0;
    bool unattended_ = false;  // stopping by a signal: nobody is asked anything
};

}  // namespace lumvaris::app
