#include "cli/Commands.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>

#include <csignal>

#include "cli/AcceptedCalls.h"
#include "cli/DataSinks.h"
#include "cli/ListenDeadline.h"
#include "cli/Session.h"
#include "commands/CommandSender.h"
#include "commands/Requests.h"
#include "link/NetworkAddress.h"
#include "link/PortList.h"
#include "meterdata/IClock.h"
#include "meterdata/MeterDatabase.h"
#include "meterdata/RecordTextFormatter.h"
#include "meterdata/TMatrixInterface.h"
#include "session/CallIn.h"
#include "session/ReadAll.h"
#include "session/Result.h"
#include "session/SiteName.h"
#include "sinks/ISink.h"
#include "sinks/PortExport.h"
#include "sinks/Reading.h"
#include "sinks/SinkUrl.h"

namespace lumvaris::cli {
namespace {

using commands::RequestType;
namespace request = commands::request;

constexpr int kPortLookMs = 1000;

// Prints the values the replies showed: "label: text" lines, or one JSON object with `extra`.
void PrintShown(Output& output, const QList<ShownValue>& shown, QJsonObject extra = {}) {
    for (const ShownValue& value : shown) {
        output.Text(value.label + QStringLiteral(": ") + value.text);
        extra.insert(value.key, value.json);
    }
    output.Object(extra);
}

// The records a buffer reply filed, as the window's packet table shows them: "Пакет", "Текущее",
// "Срез" and the record's time.
class FiledRecordsShown final : public meterdata::IFiledRecords {
  public:
    FiledRecordsShown(const QString& site, const QString& uartId) : site_(site), uartId_(uartId) {}
    void RecordFiled(const meterdata::MeterRecord& record, meterdata::RecordSource source) override {
        sinks::Reading reading;
        if (builder_.Build(record, source, site_, uartId_, reading)) {
            readings_.append(sinks::ReadingToJson(reading));
            // The labels in the program's language; the JSON keeps the readings' own.
            QStringList values;
            formatter_.ValueTexts(record, values);
            QStringList parts{values.value(1), values.value(2), values.value(3),
                              reading.Time.toLocalTime().toString(Qt::ISODate)};
            parts.removeAll(QString());
            texts_ << QCoreApplication::translate("cli::Commands", "Счётчик %1: %2")
                          .arg(reading.Meter)
                          .arg(parts.join(QStringLiteral("; ")));
        }
    }
    const QJsonArray& Readings() const { return readings_; }
    const QStringList& Texts() const { return texts_; }

  private:
    // ValueTexts reads no clock.
    class NoClock final : public meterdata::IClock {
        QDateTime Now() const override { return {}; }
    };

    QString site_;
    QString uartId_;
    sinks::ReadingBuilder builder_;
    NoClock clock_;
    meterdata::RecordTextFormatter formatter_{clock_};
    QJsonArray readings_;
    QStringList texts_;
};

// Closes the session and keeps the worse of the two statuses.
ExitStatus CloseWith(Session& session, ExitStatus status) {
    return Worse(status, session.Close());
}

}  // namespace

ExitStatus RunPorts(Output& output) {
    link::QtSerialPort port;
    for (const link::PortInfo& info : link::OrderPortList(port.ListPortInfos())) {
        const QString name = QString::fromStdString(info.name);
        const QString description = QString::fromStdString(link::PortDescription(info));
        const QString serial = QString::fromStdString(info.serialNumber);
        output.Text(QStringList{name, description, serial}.join(QLatin1Char('\t')));
        output.Object({{QStringLiteral("name"), name},
                       {QStringLiteral("description"), description},
                       {QStringLiteral("serial_number"), serial},
                       {QStringLiteral("system_location"), QString::fromStdString(info.systemLocation)}});
    }
    return ExitStatus::Done;
}

ExitStatus RunInfo(Session& session) {
    ExitStatus status = session.Open();
    if (status != ExitStatus::Done) {
        return status;
    }
    // The rate last: its reply makes the connection follow the concentrator's rate.
    const RequestType reads[] = {RequestType::VersionRead,     RequestType::ConfigRead,
                                 RequestType::AddressRead,     RequestType::ClockRead,
                                 RequestType::BillingDayRead,  RequestType::ClockTrimRead,
                                 RequestType::FingerprintRead, RequestType::UartRateRead};
    QList<ShownValue> shown;
    for (const RequestType type : reads) {
        status = session.Request(request::Plain(type));
        shown += session.Recorder().Shown();
        if (status != ExitStatus::Done) {
            break;
        }
    }
    PrintShown(session.Out(), shown);
    return CloseWith(session, status);
}

ExitStatus RunClock(Session& session) {
    ExitStatus status = session.Open();
    if (status != ExitStatus::Done) {
        return status;
    }
    if (session.Opts().setClock) {
        const meterdata::SystemClock clock;
        status = session.Request(request::ClockWrite(commands::ClockRecord::FromDateTime(clock.Now())));
        if (status == ExitStatus::Done) {
            session.Out().Message(QCoreApplication::translate(
                "cli::Commands", "Часы концентратора установлены по часам компьютера."));
        }
    }
    if (status == ExitStatus::Done) {
        // Read back: the concentrator's clock as it runs now, and its offset.
        status = session.Request(request::Plain(RequestType::ClockRead));
        PrintShown(session.Out(), session.Recorder().Shown());
    }
    return CloseWith(session, status);
}

ExitStatus RunSend(Session& session) {
    const Options& o = session.Opts();
    commands::Request sent;
    sent.type = o.sendType;
    sent.bodyLength = static_cast<std::size_t>(o.sendBody.size());
    std::copy(o.sendBody.begin(), o.sendBody.end(), sent.body.begin());
    if (o.sendType == RequestType::RegisterRead) {
        // The register listing is numbered from the page and offset the request names.
        const auto word = [&sent](int at) { return sent.body[at] | (sent.body[at + 1] << 8); };
        session.Recorder().SetRegisterAddress(QString::number(word(0), 16), QString::number(word(2), 16));
    }
    ExitStatus status = session.Open();
    if (status != ExitStatus::Done) {
        return status;
    }
    meterdata::MeterDatabase& database = session.Connection().Database().Meter();
    FiledRecordsShown filed(session.Site(),
                            QStringLiteral("%1").arg(o.uartId, 4, 16, QLatin1Char('0')).toUpper());
    database.SetFiledRecords(&filed);
    Session::Exchange exchange;
    status = session.Request(sent, &exchange);
    database.SetFiledRecords(nullptr);
    if (status == ExitStatus::Done || status == ExitStatus::NoReply || status == ExitStatus::Refused) {
        const commands::CommandInfo& info = commands::Info(o.sendType);
        const bool awaited = info.expectedReply != link::Requester::kNoWait;
        if (awaited) {
            session.Out().Text(exchange.statusText);
        }
        QJsonObject object{{QStringLiteral("request"), QString::fromLatin1(info.name)},
                           {QStringLiteral("code"), static_cast<int>(commands::Code(o.sendType))},
                           {QStringLiteral("request_frame"), HexBytes(exchange.request)}};
        if (awaited) {
            object.insert(QStringLiteral("status"), exchange.statusData);
            object.insert(QStringLiteral("reply_frame"), HexBytes(exchange.reply));
        }
        if (!session.Recorder().Refusal().isEmpty()) {
            object.insert(QStringLiteral("refusal"), session.Recorder().Refusal());
        }
        if (!filed.Readings().isEmpty()) {
            object.insert(QStringLiteral("records"), filed.Readings());
        }
        PrintShown(session.Out(), session.Recorder().Shown(), object);
        for (const QString& line : filed.Texts()) {
            session.Out().Text(line);
        }
    }
    return CloseWith(session, status);
}

// ---------------------------------------------------------------------------------------------

namespace {

// The progress bar and the end of a read-all.
class ReadAllProgress final : public session::IReadAllView {
  public:
    explicit ReadAllProgress(Session& session) : session_(session) {}
    void ReadAllSent(const commands::ReadAllLoop& loop) override {
        session_.Out().Progress(loop.Sent(), loop.Total());
    }
    void ReadAllFinished(const commands::ReadAllLoop&) override {
        session_.Out().EndProgress();
        session_.Wake();
    }

  private:
    Session& session_;
};

// The destinations of --db and --mqtt first (a refused broker sends nothing), then the port (once
// `ready` holds, when given); the destinations follow the UART-ID the concentrator reports.
// Stopped again when either fails.
ExitStatus OpenWithSinks(Session& session, DataSinks& sinks, const std::function<bool()>& ready = {}) {
    ExitStatus status = sinks.Open(session.Site());
    if (status == ExitStatus::Done && ready && !ready()) {
        status = session.StopSignal() != 0 ? session.StopStatus() : ExitStatus::Done;
        return Worse(status, sinks.Stop(false));
    }
    if (status == ExitStatus::Done) {
        status = session.Open();
    }
    if (status != ExitStatus::Done) {
        return Worse(status, sinks.Stop(true));
    }
    session.SetUartIdHook([&sinks](std::uint16_t uartId) { sinks.SetUartId(uartId); });
    return ExitStatus::Done;
}

// Asks the concentrator its address: its reply, through the UART-ID hook, stamps the readings
// with the concentrator's own UART-ID rather than only the one the requests go to. No reply is
// no reason to stop: the readings then carry the given one.
ExitStatus AskAddress(Session& session) {
    const ExitStatus status = session.Request(request::Plain(RequestType::AddressRead));
    if (status == ExitStatus::NoReply || status == ExitStatus::Refused) {
        session.Out().Message(QCoreApplication::translate("cli::Commands", "Показания помечаются UART-ID %1.")
                                  .arg(session.Connection().UartId(), 4, 16, QLatin1Char('0'))
                                  .toUpper());
        return ExitStatus::Done;
    }
    return status;
}

// The device file of a port name as the port library takes it (a bare name is under /dev).
bool PortDevicePresent(const QString& port) {
    // A network address has no device file; a service goes on trying to connect to it instead.
    if (link::IsNetworkName(port.toStdString())) {
        return true;
    }
    return QFileInfo::exists(port.startsWith(QLatin1Char('/')) ? port : QStringLiteral("/dev/") + port);
}

}  // namespace

ExitStatus RunReadAll(Session& session) {
    const Options& o = session.Opts();
    DataSinks sinks(o, session.Out(), session.Connection().Database().Meter());
    ExitStatus status = OpenWithSinks(session, sinks);
    if (status != ExitStatus::Done) {
        return status;
    }
    meterdata::MeterDatabase& database = session.Connection().Database().Meter();

    // The concentrator's network size first: its reply sets the database's meter count, which the
    // window's read-all goes by and beyond which no record is stored.
    status = session.Request(request::Plain(RequestType::ConfigRead));
    if (status == ExitStatus::Done) {
        status = AskAddress(session);
    }
    const meterdata::TMatrixInterface* net = database.NetStore();
    const int meters = net != nullptr ? net->ColCount() - 1 : 0;
    const int last = o.to != 0 ? o.to : meters;
    if (status == ExitStatus::Done && last > meters) {
        session.Out().Message(
            QCoreApplication::translate(
                "cli::Commands", "Счётчика %1 нет в сети концентратора: её размер %2 (--to не больше него).")
                .arg(last)
                .arg(meters));
        status = ExitStatus::Usage;
    }
    if (status == ExitStatus::Done) {
        session::Connection& c = session.Connection();
        QString sendError;
        session::ReadAll readAll(c.Sender(), c.Requester(), c.Replies(), c, session.Timers(),
                                 [&sendError](const std::function<void()>& step) {
                                     const session::Result sent = session::Result::Catching(step);
                                     if (!sent.IsDone()) {
                                         sendError = sent.Message();
                                     }
                                 });
        ReadAllProgress progress(session);
        readAll.SetView(&progress);
        session.Recorder().Clear();
        if (readAll.Start(o.buffer, o.from, last, o.pace)) {
            session.Wait([&readAll] { return !readAll.Running(); });
            readAll.Stop();  // a stop signal or a lost port: the summary says how far it came
        }
        if (!c.IsOpen() && !session.PortLost()) {
            // The port closed under the loop (it ends the read at once); the loss itself is told
            // from the event queue, before the summary.
            QCoreApplication::processEvents();
        }
        session.Out().EndProgress();
        const commands::ReadAllLoop& loop = readAll.Loop();
        session.Out().Text(loop.SummaryText());
        session.Out().Object({{QStringLiteral("summary"), loop.SummaryText()},
                              {QStringLiteral("requests"), loop.Sent()},
                              {QStringLiteral("meters"), loop.Total()},
                              {QStringLiteral("delivered"), loop.Delivered()},
                              {QStringLiteral("without_data"), loop.WithoutData()},
                              {QStringLiteral("without_reply"), loop.WithoutReply()}});
        if (session.StopSignal() != 0) {
            status = session.StopStatus();
        } else if (session.PortLost() || !sendError.isEmpty() || !c.IsOpen()) {
            if (!session.PortLost()) {
                session.Out().Message(sendError);  // the write failed before the loss was told
            }
            status = ExitStatus::PortNotOpened;
        } else if (!session.Recorder().Refusal().isEmpty()) {
            session.Out().Message(session.Recorder().Refusal());
            status = ExitStatus::Refused;
        } else if (loop.WithoutReply() > 0) {
            status = ExitStatus::NoReply;
        }
    }
    status = CloseWith(session, status);
    return Worse(status, sinks.Stop(true));
}

// ---------------------------------------------------------------------------------------------

// listen --accept: the concentrators' modems call, many at once (AcceptedCalls). A lost call is
// not dialled again: the next call is awaited.
ExitStatus RunListenAccept(Session& session, bool& timeUp) {
    const Options& o = session.Opts();
    // A database that refuses the login stops the command before anyone can call, so that no call
    // waits on a server's first answer. The broker is not tried: its state topics go by site.
    if (!o.databases.isEmpty()) {
        Options tried = o;
        tried.mqtt.clear();
        DataSinks check(tried, session.Out(), session.Connection().Database().Meter());
        const ExitStatus opened =
            check.Open(session::DefaultSite(QStringLiteral("tcp://uart:%1").arg(o.accept->port)));
        check.Stop(false);
        if (opened != ExitStatus::Done) {
            return opened;
        }
    }
    session::CallInServer server(session.Timers());
    if (o.allowAll) {
        server.AllowAll();
    } else {
        server.SetAllowed(o.allowed);
    }
    server.SetIdentPattern(o.ident);
    server.SetLog([&session](const QString& line) { session.Out().Message(line); });
    if (const session::Result listening = server.Listen(*o.accept); !listening.IsDone()) {
        session.Out().Message(listening.Message());
        return ExitStatus::PortNotOpened;
    }
    const QString where =
        o.accept->address.protocol() == QAbstractSocket::IPv6Protocol
            ? QStringLiteral("[%1]:%2").arg(o.accept->address.toString()).arg(server.ListeningPort())
            : QStringLiteral("%1:%2").arg(o.accept->address.toString()).arg(server.ListeningPort());
    AcceptedCalls calls(o, session.Out(), session.DataDirectory(), server.ListeningPort(), where,
                        [&session] { session.Wake(); });
    server.SetHandOver([&calls](std::uint16_t uartId, std::unique_ptr<QTcpSocket> socket, QByteArray rest) {
        calls.Take(uartId, std::move(socket), std::move(rest));
    });
    session.Out().Message(
        QCoreApplication::translate("cli::Commands",
                                    "Ожидание звонков концентраторов на %1 (конец: Ctrl+C или SIGTERM).")
            .arg(where));

    ExitStatus status = ExitStatus::Done;
    while (session.StopSignal() == 0 && !timeUp) {
        session.WaitThroughLoss([&] { return calls.HasWork() || timeUp; });
        if (session.StopSignal() != 0 || timeUp) {
            break;
        }
        status = Worse(status, calls.Serve());
    }
    server.Close();
    status = Worse(status, calls.CloseAll(DataSinks::kStopWait));
    if (session.StopSignal() == SIGINT) {
        status = Worse(status, ExitStatus::Interrupted);
    }
    const qint64 heard = calls.PacketsHeard();
    session.Out().Text(QCoreApplication::translate("cli::Commands", "Пакетов принято: %1").arg(heard));
    session.Out().Object({{QStringLiteral("packets"), heard}});
    return status;
}

ExitStatus RunListen(Session& session) {
    const Options& o = session.Opts();
    session::Connection& connection = session.Connection();

    bool timeUp = false;
    QElapsedTimer started;
    started.start();
    std::unique_ptr<ListenDeadline> deadline;
    if (o.forSeconds > 0) {
        deadline = std::make_unique<ListenDeadline>(
            session.Timers(), [&started] { return started.elapsed(); }, qint64{o.forSeconds} * 1000,
            [&] {
                timeUp = true;
                session.Wake();
            });
    }
    if (o.accept) {
        return RunListenAccept(session, timeUp);
    }
    DataSinks sinks(o, session.Out(), session.Connection().Database().Meter());
    // A port that is not there yet (an adapter plugged in later, a service started before it) is
    // awaited as a pulled one is: one message, then a look every second.
    const auto portThere = [&] {
        if (PortDevicePresent(o.port)) {
            return true;
        }
        session.Out().Message(
            QCoreApplication::translate("cli::Commands",
                                        "Порт «%1» не найден: ожидание его появления (проверка каждую "
                                        "секунду; конец: Ctrl+C или SIGTERM).")
                .arg(o.port));
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&session] { session.Wake(); });
        look.start(kPortLookMs);
        session.Wait([&] { return timeUp || PortDevicePresent(o.port); });
        return !timeUp && PortDevicePresent(o.port);
    };
    ExitStatus status = OpenWithSinks(session, sinks, portThere);
    if (status != ExitStatus::Done || !connection.IsOpen()) {
        if (session.StopSignal() != 0) {
            status = session.StopSignal() == SIGINT ? ExitStatus::Interrupted : ExitStatus::Done;
        }
        session.Out().Text(QCoreApplication::translate("cli::Commands", "Пакетов принято: 0"));
        session.Out().Object({{QStringLiteral("packets"), 0}});
        return status;
    }
    // A pulled adapter is awaited for a minute; the database is attached again when it returns.
    bool waiting = false;
    session.SetStateHook([&] {
        const session::ConnectionState state = connection.State();
        if (state == session::ConnectionState::WaitingForAdapter ||
            state == session::ConnectionState::WaitingForNetwork) {
            waiting = true;
        } else if (waiting && connection.Reconnected()) {
            waiting = false;
            session.Out().Message(QCoreApplication::translate("cli::Commands", "Связь восстановлена."));
        }
    });
    session.Out().Message(
        QCoreApplication::translate("cli::Commands",
                                    "Запись пакетов счётчиков с порта %1 в %2 (конец: Ctrl+C или SIGTERM).")
            .arg(o.port, session.DataDirectory()));
    // A stop or a loss meanwhile ends the wait below at once, with its status.
    AskAddress(session);
    const auto gone = [&connection] {
        const session::ConnectionState state = connection.State();
        return state == session::ConnectionState::AdapterGone || state == session::ConnectionState::Closed;
    };
    session.WaitThroughLoss([&] { return timeUp || gone(); });

    // What the port holds by now is taken in before the end, not left in the system's buffer.
    session.Drain();
    if (session.StopSignal() == SIGINT) {
        status = ExitStatus::Interrupted;
    } else if (session.StopSignal() == 0 && !timeUp) {
        status = ExitStatus::PortNotOpened;  // the adapter did not come back: a service manager restarts
    }
    status = CloseWith(session, status);
    status = Worse(status, sinks.Stop(false));
    const qint64 heard = session.PacketsHeard();
    session.Out().Text(QCoreApplication::translate("cli::Commands", "Пакетов принято: %1").arg(heard));
    session.Out().Object({{QStringLiteral("packets"), heard}});
    return status;
}

// ---------------------------------------------------------------------------------------------

ExitStatus RunExport(const Options& options, Output& output, const QString& dataDirectory,
                     const std::function<int()>& stopSignal) {
    // A server that cannot take the export keeps nothing back (the port's files hold the records):
    // its own status, so a script can try again later; a file that cannot be written is a file error.
    const auto failure = [](const QString& url) {
        return url.startsWith(QLatin1String("postgres")) ? ExitStatus::KeptBack : ExitStatus::FileError;
    };
    std::vector<std::unique_ptr<sinks::ISink>> opened;
    std::vector<sinks::ISink*> targets;
    for (const QString& url : options.databases) {
        QString error;
        std::unique_ptr<sinks::ISink> sink = sinks::OpenSink(url, error);
        if (!sink) {
            output.Message(error);
            return failure(url);
        }
        targets.push_back(sink.get());
        opened.push_back(std::move(sink));
    }
    sinks::PortExportOptions exportOptions;
    exportOptions.ProgramDirectory = dataDirectory;
    exportOptions.PortName = options.port;
    // The same site as listen's and read-all's, so that an export meets the rows they wrote.
    exportOptions.Site = options.site.isEmpty() ? session::DefaultSite(options.port) : options.site;
    if (options.uartIdGiven) {
        exportOptions.UartId = QStringLiteral("%1").arg(options.uartId, 4, 16, QLatin1Char('0')).toUpper();
    }
    exportOptions.Progress = [&](qint64 written, qint64 total) {
        QCoreApplication::processEvents();  // a stop signal
        output.Progress(written, total);
        return stopSignal() == 0;
    };
    const sinks::PortExportResult result = sinks::ExportPortDatabase(exportOptions, targets);
    output.EndProgress();
    for (auto& sink : opened) {
        sink->Close();
    }
    if (result.Cancelled) {
        output.Message(QCoreApplication::translate("cli::Commands", "Экспорт прерван: файлы не записаны."));
        return ExitStatus::Interrupted;
    }
    if (!result.Ok) {
        output.Message(result.Error);
        return result.FailedSink >= 0 ? failure(options.databases[result.FailedSink]) : ExitStatus::FileError;
    }
    // What each destination did not hold before: the same readings exported twice add nothing.
    QJsonArray added;
    for (std::size_t i = 0; i < result.Added.size(); ++i) {
        output.Text(QCoreApplication::translate("cli::Commands", "%1: добавлено показаний %2 из %3")
                        .arg(options.databases[static_cast<qsizetype>(i)])
                        .arg(result.Added[i])
                        .arg(result.Written));
        added.append(result.Added[i]);
    }
    output.Text(QCoreApplication::translate("cli::Commands",
                                            "Записано показаний: %1 (пакетов в файлах и журнале: %2)")
                    .arg(result.Written)
                    .arg(result.Total));
    output.Object({{QStringLiteral("written"), result.Written},
                   {QStringLiteral("total"), result.Total},
                   {QStringLiteral("added"), added}});
    return ExitStatus::Done;
}

}  // namespace lumvaris::cli
