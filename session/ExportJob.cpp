#include "session/ExportJob.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <memory>

#include "sinks/ISink.h"
#include "sinks/SinkUrl.h"

namespace lumvaris::session {

ExportJob::ExportJob(QObject* parent) : QObject(parent) {}

ExportJob::~ExportJob() {
    cancel_ = true;
    if (worker_.joinable()) {
        worker_.join();
    }
}

bool ExportJob::Start(sinks::PortExportOptions options, const QString& url, QString& error) {
    if (running_) {
        error = QCoreApplication::translate("session::ExportJob", "Экспорт уже идёт.");
        return false;
    }
    sinks::SinkAddress address;
    if (!sinks::ParseSinkUrl(url, address, error)) {
        return false;
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    running_ = true;
    cancel_ = false;
    options.Progress = [this](qint64 done, qint64 total) {
        QMetaObject::invokeMethod(
            this, [this, done, total] { emit Progress(done, total); }, Qt::QueuedConnection);
        return !cancel_.load();
    };
    worker_ = std::thread([this, options = std::move(options), address] {
        sinks::PortExportResult result;
        std::unique_ptr<sinks::ISink> sink = sinks::CreateSink(address, sinks::FileWrite::Whole);
        if (!sink->Open()) {
            result.Error = sink->LastError();
        } else {
            sinks::ISink* const one[] = {sink.get()};
            result = sinks::ExportPortDatabase(options, one);
            sink->Close();
        }
        QMetaObject::invokeMethod(
            this,
            [this, result] {
                running_ = false;
                emit Finished(result);
            },
            Qt::QueuedConnection);
    });
    return true;
}

}  // namespace lumvaris::session
