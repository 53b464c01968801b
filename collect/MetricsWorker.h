#pragma once

#include <QByteArray>
#include <QObject>
#include <QTcpServer>

#include <functional>

#include "collect/MetricsServer.h"

class QTcpSocket;

namespace lumvaris::collect {

// The metrics endpoint's side on its own thread: the listening socket and its connections.
class MetricsWorker : public QObject {
    Q_OBJECT
  public:
    MetricsWorker(Metrics& metrics, Health& health, MetricsServerOptions options,
                  std::function<void()> beforeRender);
    bool Listen(QString& error, quint16& port);
    void Close();

  private:
    void Accept();
    void Serve(QTcpSocket* socket);
    void Respond(QTcpSocket* socket, int status, const QByteArray& type, const QByteArray& body, bool head,
                 bool close, const QByteArray& extraHeaders = {});

    Metrics& metrics_;
    Health& health_;
    MetricsServerOptions options_;
    std::function<void()> beforeRender_;
    QTcpServer server_;
    int open_ = 0;
};

}  // namespace lumvaris::collect
