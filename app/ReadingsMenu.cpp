#include "app/ReadingsMenu.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>

#include <chrono>

#include "app/IMessageBox.h"
#include "app/ISaveDialog.h"
#include "meterdata/MeterDatabase.h"
#include "mqtt/MqttSink.h"
#include "session/Connection.h"
#include "session/ExportJob.h"
#include "session/LiveSinks.h"
#include "session/SiteName.h"
#include "sinks/Reading.h"
#include "ui_FormMain.h"

namespace lumvaris::app {

QString ExportAddress(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv")) {
        return QStringLiteral("csv:") + path;
    }
    if (suffix == QLatin1String("jsonl") || suffix == QLatin1String("json")) {
        return QStringLiteral("jsonl:") + path;
    }
    return QStringLiteral("sqlite:") + path;
}

namespace {
constexpr std::chrono::seconds kCloseWait{5};
}  // namespace

ReadingsMenu::ReadingsMenu(Ui::TFormMain& form, session::Connection& connection, IMessageBox& messages,
                           QWidget* window, std::function<void(const QString&)> showStatus)
    : form_(form),
      connection_(connection),
      messages_(messages),
      window_(window),
      showStatus_(std::move(showStatus)),
      sinks_(std::make_unique<session::LiveSinks>(connection.Database().Meter())),
      export_(std::make_unique<session::ExportJob>()) {
    connect(sinks_.get(), &session::LiveSinks::Message, this,
            [this](const QString& text) { showStatus_(text); });
    connect(export_.get(), &session::ExportJob::Progress, this, [this](qint64 done, qint64 total) {
        if (progress_ != nullptr) {
            // The bar counts in thousands of records; a large database has millions.
            progress_->setMaximum(static_cast<int>(std::max<qint64>(total / 1000, 1)));
            progress_->setValue(static_cast<int>(done / 1000));
        }
    });
}

ReadingsMenu::~ReadingsMenu() {
    // The window is closing: a server or broker that can be reached gets what is still queued, for a
    // few seconds; what is left is in the port's files, from which an export writes it later.
    sinks_->Stop(kCloseWait);
}

bool ReadingsMenu::ExportRunning() const {
    return export_->Running();
}

void ReadingsMenu::ConnectionOpened() {
    sinks_->SetSite(session::DefaultSite(connection_.PortName()));
    sinks_->SetUartId(connection_.UartId());
}

void ReadingsMenu::SetUartId(std::uint16_t uartId) {
    sinks_->SetUartId(uartId);
}

void ReadingsMenu::NMainFileExportClick() {
    if (!connection_.IsOpen() || export_->Running() || exportDialog_ == nullptr) {
        return;
    }
    const QString path = exportDialog_->Execute(window_);
    if (path.isEmpty()) {
        return;
    }
    // The files take what arrived since the last minute's save first: the export reads them.
    connection_.Save();
    sinks::PortExportOptions options;
    options.ProgramDirectory = connection_.ProgramDirectory();
    options.PortName = connection_.PortName();
    options.Site = session::DefaultSite(options.PortName);
    options.UartId = sinks::UartIdText(connection_.UartId());
    QString error;
    if (!export_->Start(options, ExportAddress(path), error)) {
        messages_.Error(window_, error);
        return;
    }
    progress_ = new QProgressDialog(
        tr("Экспорт базы данных порта «%1» в\n%2").arg(options.Site, QDir::toNativeSeparators(path)),
        tr("Отменить"), 0, 1, window_);
    progress_->setWindowTitle(tr("Экспорт"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAttribute(Qt::WA_DeleteOnClose);
    connect(progress_, &QProgressDialog::canceled, export_.get(), &session::ExportJob::Cancel);
    connect(
        export_.get(), &session::ExportJob::Finished, progress_,
        [this, path](const sinks::PortExportResult& r) {
            ExportFinished(path, r.Ok, r.Cancelled, r.Written, r.Error);
        },
        Qt::SingleShotConnection);
    progress_->show();
}

void ReadingsMenu::ExportFinished(const QString& path, bool ok, bool cancelled, qint64 written,
                                  const QString& error) {
    if (progress_ != nullptr) {
        progress_->close();
    }
    if (cancelled) {
        showStatus_(tr("Экспорт отменён."));
    } else if (!ok) {
        messages_.Error(window_, tr("Экспорт не выполнен:\n%1").arg(error));
    } else {
        showStatus_(
            tr("Экспортировано записей: %1 в «%2».").arg(written).arg(QDir::toNativeSeparators(path)));
    }
}

void ReadingsMenu::NMainOptionsCentralDatabaseClick() {
    const std::optional<QString> url = messages_.AskText(
        window_,
        tr("Адрес центральной базы данных, куда пишется каждый пакет и каждая запись буфера\n"
           "(postgresql://пользователь@сервер:порт/база; пароль — из ~/.pgpass или PGPASSWORD).\n"
           "Пусто — не писать:"),
        centralDatabase_);
    if (!url) {
        return;
    }
    const session::Result set = sinks_->SetDatabase(*url);
    if (!set.IsDone()) {
        messages_.Error(window_, set.Message());  // the database before, if any, stays
        return;
    }
    centralDatabase_ = *url;
}

void ReadingsMenu::NMainOptionsBrokerClick() {
    const std::optional<QString> url = messages_.AskText(
        window_,
        tr("Адрес брокера MQTT, куда публикуется каждый пакет и каждая запись буфера\n"
           "(mqtt://пользователь@сервер:порт/префикс или mqtts://…; пароль — из переменной\n"
           "LUMVARIS_MQTT_PASSWORD). Пусто — не публиковать:"),
        broker_);
    if (!url) {
        return;
    }
    mqtt::MqttOptions options;
    // The window never waits for a broker: a refused login comes later as a message.
    options.ConnectWait = std::chrono::milliseconds(0);
    const session::Result set = sinks_->SetBroker(*url, options);
    if (set.IsDone()) {
        broker_ = *url;
    } else {
        // An address that does not parse leaves the broker before; one that does not open, none.
        broker_ = sinks_->HasBroker() ? broker_ : QString();
        messages_.Error(window_, set.Message());
    }
}

}  // namespace lumvaris::app
