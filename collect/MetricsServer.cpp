#include "collect/MetricsServer.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTcpSocket>
#include <QTimer>

#include "collect/Health.h"
#include "collect/Metrics.h"
#include "collect/MetricsWorker.h"

namespace lumvaris::collect {
namespace {

constexpr const char* kBuffer = "lumvarisHead";
constexpr const char* kClosing = "lumvarisClosing";

QByteArray Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 431:
            return "Request Header Fields Too Large";
        case 503:
            return "Service Unavailable";
        default:
            return "Error";
    }
}

}  // namespace

MetricsWorker::MetricsWorker(Metrics& metrics, Health& health, MetricsServerOptions options,
                             std::function<void()> beforeRender)
    : metrics_(metrics),
      health_(health),
      options_(std::move(options)),
      beforeRender_(std::move(beforeRender)),
      server_(this) {
    connect(&server_, &QTcpServer::newConnection, this, &MetricsWorker::Accept);
}

bool MetricsWorker::Listen(QString& error, quint16& port) {
    if (!server_.listen(options_.address, options_.port)) {
        error = QCoreApplication::translate("collect::MetricsServer", "Адрес метрик %1:%2 не занять: %3.")
                    .arg(options_.address.toString())
                    .arg(options_.port)
                    .arg(server_.errorString());
        return false;
    }
    port = server_.serverPort();
    return true;
}

void MetricsWorker::Close() {
    server_.close();
    for (QTcpSocket* socket : findChildren<QTcpSocket*>()) {
        socket->abort();
        delete socket;
    }
}

void MetricsWorker::Accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        if (open_ >= options_.maxConnections) {
            Respond(socket, 503, "text/plain; charset=utf-8", "too many connections\n", false, true);
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        ++open_;
        // What the kernel holds beyond this waits there: a client cannot make us buffer more.
        socket->setReadBufferSize(options_.maxHeadBytes * 2);
        auto* idle = new QTimer(socket);
        idle->setSingleShot(true);
        idle->setObjectName(QStringLiteral("idle"));
        connect(idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        idle->start(options_.idleMs);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Serve(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            if (socket->bytesToWrite() == 0) {
                Serve(socket);
            }
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --open_;
            socket->deleteLater();
        });
    }
}

void MetricsWorker::Serve(QTcpSocket* socket) {
    // One request at a time: the next is read once the last response has left, so a client that
    // sends many without reading cannot pile responses up here.
    while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() == 0 &&
           !socket->property(kClosing).toBool()) {
        QByteArray buffer = socket->property(kBuffer).toByteArray();
        buffer += socket->read(options_.maxHeadBytes + 1 - buffer.size());
        qsizetype end = buffer.indexOf("\r\n\r\n");
        qsizetype skip = 4;
        if (const qsizetype bare = buffer.indexOf("\n\n"); bare >= 0 && (end < 0 || bare < end)) {
            end = bare;
            skip = 2;
        }
        if (end < 0) {
            if (buffer.size() > options_.maxHeadBytes) {
                Respond(socket, 431, "text/plain; charset=utf-8", "request head over 8 KiB\n", false, true);
                return;
            }
            socket->setProperty(kBuffer, buffer);
            return;
        }
        if (end + skip > options_.maxHeadBytes) {
            Respond(socket, 431, "text/plain; charset=utf-8", "request head over 8 KiB\n", false, true);
            return;
        }
        const QByteArray head = buffer.left(end);
        socket->setProperty(kBuffer, buffer.mid(end + skip));

        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> request = lines.first().trimmed().split(' ');
        if (request.size() != 3 || !request[2].startsWith("HTTP/1.")) {
            Respond(socket, 400, "text/plain; charset=utf-8", "bad request\n", false, true);
            return;
        }
        bool close = request[2] == "HTTP/1.0";
        bool hasBody = false;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0) {
                continue;
            }
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed().toLower();
            if (name == "connection") {
                close = value.contains("close") || (close && !value.contains("keep-alive"));
            } else if ((name == "content-length" && value != "0") || name == "transfer-encoding") {
                hasBody = true;
            }
        }
        // A body is never read: the connection ends after the answer instead.
        close = close || hasBody;
        const QByteArray& method = request[0];
        QByteArray path = request[1];
        path.truncate(path.indexOf('?') < 0 ? path.size() : path.indexOf('?'));
        const bool headOnly = method == "HEAD";
        if (path != "/metrics" && path != "/healthz") {
            Respond(socket, 404, "text/plain; charset=utf-8", "not found: /metrics, /healthz\n", headOnly,
                    close);
        } else if (method != "GET" && !headOnly) {
            Respond(socket, 405, "text/plain; charset=utf-8", "only GET\n", false, true,
                    "Allow: GET, HEAD\r\n");
        } else if (path == "/metrics") {
            if (beforeRender_) {
                beforeRender_();
            }
            Respond(socket, 200, "text/plain; version=0.0.4; charset=utf-8", metrics_.Render(), headOnly,
                    close);
        } else if (const QString problem = health_.Problem(); problem.isEmpty()) {
            Respond(socket, 200, "text/plain; charset=utf-8", "ok\n", headOnly, close);
        } else {
            Respond(socket, 503, "text/plain; charset=utf-8", problem.toUtf8() + '\n', headOnly, close);
        }
    }
}

void MetricsWorker::Respond(QTcpSocket* socket, int status, const QByteArray& type, const QByteArray& body,
                            bool head, bool close, const QByteArray& extraHeaders) {
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + Reason(status) +
                          "\r\nContent-Type: " + type +
                          "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeaders +
                          (close ? "Connection: close\r\n" : "") + "\r\n";
    if (!head) {
        response += body;
    }
    socket->write(response);
    if (close) {
        socket->setProperty(kClosing, true);
        socket->disconnectFromHost();
    } else if (auto* idle = socket->findChild<QTimer*>(QStringLiteral("idle"))) {
        idle->start(options_.idleMs);
    }
}

MetricsServer::MetricsServer(Metrics& metrics, Health& health, MetricsServerOptions options,
                             std::function<void()> beforeRender)
    : options_(options) {
    thread_.setObjectName(QStringLiteral("metrics"));
    worker_ = new MetricsWorker(metrics, health, options, std::move(beforeRender));
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
}

MetricsServer::~MetricsServer() {
    QMetaObject::invokeMethod(
        worker_, [this] { worker_->Close(); }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

bool MetricsServer::Start(QString& error) {
    bool ok = false;
    QMetaObject::invokeMethod(
        worker_, [&] { ok = worker_->Listen(error, port_); }, Qt::BlockingQueuedConnection);
    return ok;
}

}  // namespace lumvaris::collect
