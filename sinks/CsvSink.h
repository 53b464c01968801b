#pragma once

#include "sinks/ISink.h"
#include "sinks/SinkUrl.h"

#include <QSaveFile>

#include <memory>

namespace lumvaris::sinks {

// Readings as CSV (RFC 4180): UTF-8, a header line with the field names, commas, CR LF line ends.
// Every text field is quoted (quotes inside doubled), numbers are not, and a reading without a
// number leaves "value" empty, so an empty text ("") and no value () stay apart. The file is
// written beside its final name and put in place by Finish.
class CsvSink final : public ISink {
  public:
    explicit CsvSink(SinkAddress address);
    ~CsvSink() override;

    const QString& Url() const override { return address_.Url; }
    bool Open() override;
    bool Write(std::span<const Reading> readings) override;
    bool Finish() override;
    void Close() override;
    bool IsOpen() const override { return file_ != nullptr; }
    const QString& LastError() const override { return lastError_; }

    // One line of the file, CR LF included (also the data of PostgreSQL's COPY in CSV format,
    // which reads an unquoted empty field as NULL and "" as an empty text).
    static void AppendLine(const Reading& reading, QString& out);
    static QByteArray HeaderLine();

  private:
    bool Fail(const QString& message);

    SinkAddress address_;
    std::unique_ptr<QSaveFile> file_;
    QString text_;
    QString lastError_;
};

}  // namespace lumvaris::sinks
