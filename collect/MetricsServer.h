#pragma once

#include <QHostAddress>
#include <QString>
#include <QThread>

#include <functional>

namespace lumvaris::collect {

class Health;
class Metrics;
class MetricsWorker;

struct MetricsServerOptions {
    QHostAddress address = QHostAddress::LocalHost;  // only this machine, unless told otherwise
    quint16 port = 0;                                // 0: any free port
    int maxHeadBytes = 8 * 1024;
    int maxConnections = 64;
    int idleMs = 10000;  // a connection that has not sent a whole request head by then is closed
};

// The collector's HTTP/1.1 endpoint: GET /metrics (Prometheus' text format 0.0.4) and GET /healthz
// ("ok", or 503 and the reason). It runs on a thread of its own, so that it still answers (503)
// when the collector's event loop is stuck, and never makes that loop wait for a client.
class MetricsServer {
  public:
    // `beforeRender` runs on the server's thread before each /metrics (the process metrics).
    MetricsServer(Metrics& metrics, Health& health, MetricsServerOptions options,
                  std::function<void()> beforeRender = {});
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Listens; false with the message (Russian) when the address cannot be taken.
    bool Start(QString& error);
    quint16 Port() const { return port_; }

  private:
    MetricsServerOptions options_;
    QThread thread_;
    MetricsWorker* worker_ = nullptr;
    quint16 port_ = 0;
};

}  // namespace lumvaris::collect
