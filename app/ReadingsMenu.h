#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

namespace Ui {
class TFormMain;
}

namespace lumvaris::session {
class Connection;
class ExportJob;
class LiveSinks;
}  // namespace lumvaris::session

namespace lumvaris::app {

class IMessageBox;
class ISaveDialog;

// Where the readings go besides the port's files, in the window: "Файл" → "Экспорт..." writes the
// current port's database to a SQLite, CSV or JSON Lines file with a progress bar;
// "Настройки" → "Центральная база данных..." and "Брокер MQTT..." set where every live packet and
// buffer record also goes as it arrives. Neither ever holds up the window; what the destinations
// say of themselves (unreachable, back, a full queue) goes to the status bar once.
class ReadingsMenu final : public QObject {
    Q_OBJECT
  public:
    ReadingsMenu(Ui::TFormMain& form, session::Connection& connection, IMessageBox& messages, QWidget* window,
                 std::function<void(const QString&)> showStatus);
    ~ReadingsMenu() override;

    void SetExportDialog(ISaveDialog* dialog) { exportDialog_ = dialog; }
    // A connection opened: its readings carry its port's name as their site.
    void ConnectionOpened();
    void SetUartId(std::uint16_t uartId);

    void NMainFileExportClick();
    void NMainOptionsCentralDatabaseClick();
    void NMainOptionsBrokerClick();
    bool ExportRunning() const;

  private:
    void ExportFinished(const QString& path, bool ok, bool cancelled, qint64 written, const QString& error);

    Ui::TFormMain& form_;
    session::Connection& connection_;
    IMessageBox& messages_;
    QWidget* window_;
    std::function<void(const QString&)> showStatus_;
    ISaveDialog* exportDialog_ = nullptr;
    std::unique_ptr<session::LiveSinks> sinks_;
    std::unique_ptr<session::ExportJob> export_;
    QPointer<QProgressDialog> progress_;
    QString centralDatabase_;
    QString broker_;
};

// The address of the file the export writes: "csv:" for *.csv, "jsonl:" for *.jsonl and *.json,
// otherwise "sqlite:".
QString ExportAddress(const QString& path);

}  // namespace lumvaris::app
