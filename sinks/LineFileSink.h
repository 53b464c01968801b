#pragma once

#include "sinks/AppendFile.h"
#include "sinks/ISink.h"
#include "sinks/SinkUrl.h"

#include <QSaveFile>

#include <memory>

namespace lumvaris::sinks {

// A sink that writes readings as lines of text to a file, in one of two ways:
//   Append (the live feed): the file is appended to as readings arrive and never replaced; a
//           named pipe, a device or standard output ("-") is written as a stream;
//   Whole (an export): the file is written beside its name and put in place by Finish, so an
//           earlier file stays whole until then and a cancelled export leaves none; standard
//           output and pipes are written as a stream.
class LineFileSink : public ISink {
  public:
    enum class Mode { Append, Whole };

    LineFileSink(SinkAddress address, Mode mode) : address_(std::move(address)), mode_(mode) {}
    ~LineFileSink() override;

    const QString& Url() const override { return address_.Url; }
    bool Open() override;
    bool Write(std::span<const Reading> readings, qint64* added = nullptr) override;
    bool Finish() override;
    void Close() override;
    bool IsOpen() const override { return saved_ != nullptr || appended_.IsOpen(); }
    const QString& LastError() const override { return lastError_; }
    bool Refused() const override { return refused_; }
    void Abort() override { appended_.Abort(); }

  protected:
    // The first line of the file (empty: none), the first byte a file without one begins with,
    // and the lines of some readings.
    virtual QByteArray Header() const = 0;
    virtual char FirstByte() const = 0;
    virtual void Encode(std::span<const Reading> readings, QByteArray& out) = 0;

  private:
    bool Fail(const QString& message, const QString& why);
    QString Name() const;

    SinkAddress address_;
    Mode mode_;
    AppendFile appended_;
    std::unique_ptr<QSaveFile> saved_;
    QByteArray bytes_;
    QString lastError_;
    bool refused_ = false;
};

}  // namespace lumvaris::sinks
