#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <thread>

#include "sinks/PortExport.h"

namespace lumvaris::session {

// The export of a port's local database files to a database or file by address, on a worker
// thread of its own (the sink is opened and written there), so the face stays responsive and can
// show the progress and offer to cancel. Progress and Finished reach the owner's thread queued.
class ExportJob final : public QObject {
    Q_OBJECT
  public:
    explicit ExportJob(QObject* parent = nullptr);
    // Cancels and waits for the worker.
    ~ExportJob() override;

    // False (and nothing starts) while an export runs or the address does not parse; the message
    // then says why.
    bool Start(sinks::PortExportOptions options, const QString& url, QString& error);
    // Stops after the batch being written; Finished then says it was cancelled.
    void Cancel() { cancel_ = true; }
    bool Running() const { return running_; }

  signals:
    void Progress(qint64 done, qint64 total);
    void Finished(const lumvaris::sinks::PortExportResult& result);

  private:
    std::thread worker_;
    std::atomic<bool> cancel_{false};
    bool running_ = false;
};

}  // namespace lumvaris::session
