#pragma once

#include "sinks/ISink.h"
#include "sinks/SinkUrl.h"

#include <QFile>
#include <QSaveFile>

#include <memory>

namespace lumvaris::sinks {

// Readings as JSON Lines: one compact JSON object (ReadingToJson) per line, LF ends, UTF-8. A
// file is written beside its final name and put in place by Finish; "-" writes to standard
// output, flushed after every Write.
class JsonLinesSink final : public ISink {
  public:
    explicit JsonLinesSink(SinkAddress address);
    ~JsonLinesSink() override;

    const QString& Url() const override { return address_.Url; }
    bool Open() override;
    bool Write(std::span<const Reading> readings) override;
    bool Finish() override;
    void Close() override;
    bool IsOpen() const override { return device_ != nullptr; }
    const QString& LastError() const override { return lastError_; }

  private:
    bool Fail(const QString& message);
    bool ToStandardOutput() const { return address_.Path == QLatin1String("-"); }

    SinkAddress address_;
    std::unique_ptr<QSaveFile> file_;
    std::unique_ptr<QFile> output_;
    QIODevice* device_ = nullptr;
    QByteArray buffer_;
    QString lastError_;
};

}  // namespace lumvaris::sinks
