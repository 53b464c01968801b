#pragma once

#include "sinks/LineFileSink.h"

namespace lumvaris::sinks {

// Readings as CSV (RFC 4180): UTF-8, a header line with the field names, commas, CR LF line ends.
// Every text field is quoted (quotes inside doubled), numbers are not, and a reading without a
// number leaves "value" empty, so an empty text ("") and no value () stay apart.
class CsvSink final : public LineFileSink {
  public:
    explicit CsvSink(SinkAddress address, Mode mode = Mode::Append)
        : LineFileSink(std::move(address), mode) {}

    // One line of the file, CR LF included (also the data of PostgreSQL's COPY in CSV format,
    // which reads an unquoted empty field as NULL and "" as an empty text).
    static void AppendLine(const Reading& reading, QString& out);
    static QByteArray HeaderLine();

  protected:
    QByteArray Header() const override { return HeaderLine(); }
    char FirstByte() const override { return 's'; }
    void Encode(std::span<const Reading> readings, QByteArray& out) override;

  private:
    QString text_;
};

}  // namespace lumvaris::sinks
