#include "sinks/JsonLinesSink.h"

#include <QDir>
#include <QJsonDocument>

#include <cstdio>

namespace lumvaris::sinks {

JsonLinesSink::JsonLinesSink(SinkAddress address) : address_(std::move(address)) {}

JsonLinesSink::~JsonLinesSink() {
    Close();
}

bool JsonLinesSink::Fail(const QString& message) {
    const QString name = ToStandardOutput()
                             ? QStringLiteral("стандартный вывод")
                             : QStringLiteral("«%1»").arg(QDir::toNativeSeparators(address_.Path));
    lastError_ = message.arg(name, device_ != nullptr ? device_->errorString() : QString());
    return false;
}

bool JsonLinesSink::Open() {
    Close();
    lastError_.clear();
    if (ToStandardOutput()) {
        output_ = std::make_unique<QFile>();
        if (!output_->open(stdout, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
            device_ = output_.get();
            Fail(QStringLiteral("Не удалось открыть %1: %2"));
            Close();
            return false;
        }
        device_ = output_.get();
        return true;
    }
    file_ = std::make_unique<QSaveFile>(address_.Path);
    device_ = file_.get();
    if (!file_->open(QIODevice::WriteOnly)) {
        Fail(QStringLiteral("Не удалось создать файл %1: %2"));
        Close();
        return false;
    }
    return true;
}

bool JsonLinesSink::Write(std::span<const Reading> readings) {
    lastError_.clear();
    if (device_ == nullptr) {
        return Fail(QStringLiteral("%1 не открыт.%2"));
    }
    buffer_.clear();
    for (const Reading& r : readings) {
        buffer_ += QJsonDocument(ReadingToJson(r)).toJson(QJsonDocument::Compact);
        buffer_ += '\n';
    }
    if (device_->write(buffer_) != buffer_.size() || (output_ && !output_->flush())) {
        return Fail(QStringLiteral("Не удалось записать в %1: %2"));
    }
    return true;
}

bool JsonLinesSink::Finish() {
    lastError_.clear();
    if (device_ == nullptr) {
        return Fail(QStringLiteral("%1 не открыт.%2"));
    }
    const bool ok = output_ ? output_->flush() : file_->commit();
    if (!ok) {
        Fail(QStringLiteral("Не удалось записать в %1: %2"));
    }
    device_ = nullptr;
    file_.reset();
    output_.reset();
    return ok;
}

void JsonLinesSink::Close() {
    if (file_) {
        file_->cancelWriting();
    }
    file_.reset();
    output_.reset();
    device_ = nullptr;
}

}  // namespace lumvaris::sinks
