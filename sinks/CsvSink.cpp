#include "sinks/CsvSink.h"

#include <QDir>
#include <charconv>

namespace lumvaris::sinks {

namespace {

void AppendText(const QString& text, QString& out) {
    out += QLatin1Char('"');
    if (text.contains(QLatin1Char('"'))) {
        QString doubled = text;
        out += doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
    } else {
        out += text;
    }
    out += QLatin1Char('"');
}

void AppendNumber(int value, QString& out) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out += QLatin1String(digits, end);
}

}  // namespace

QByteArray CsvSink::HeaderLine() {
    QByteArray line;
    for (int i = 0; i < kReadingFieldCount; ++i) {
        line += (i == 0 ? "" : ",");
        line += kReadingFields[i];
    }
    return line + "\r\n";
}

void CsvSink::AppendLine(const Reading& r, QString& out) {
    AppendText(r.Site, out);
    out += QLatin1Char(',');
    AppendText(r.UartId, out);
    for (int number : {r.Meter, r.Type, r.WordA, r.WordB, r.Level}) {
        out += QLatin1Char(',');
        AppendNumber(number, out);
    }
    out += QLatin1Char(',');
    AppendText(r.Phase, out);
    out += QLatin1String(",\"");
    AppendTimeText(r.Time, out);
    out += QLatin1String("\",");
    AppendText(r.Source, out);
    out += QLatin1Char(',');
    AppendText(r.Family, out);
    out += QLatin1Char(',');
    AppendText(r.Current, out);
    out += QLatin1Char(',');
    AppendText(r.Snapshot, out);
    out += QLatin1Char(',');
    if (r.Value) {
        // The shortest text that reads back as the same double.
        char digits[32];
        const auto end = std::to_chars(digits, digits + sizeof digits, *r.Value).ptr;
        out += QLatin1String(digits, end);
    }
    out += QLatin1Char(',');
    AppendText(r.Unit, out);
    out += QLatin1String("\r\n");
}

void CsvSink::Encode(std::span<const Reading> readings, QByteArray& out) {
    text_.resize(0);  // keeps its capacity from batch to batch
    for (const Reading& r : readings) {
        AppendLine(r, text_);
    }
    out = text_.toUtf8();
}

}  // namespace lumvaris::sinks
