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

CsvSink::CsvSink(SinkAddress address) : address_(std::move(address)) {}

CsvSink::~CsvSink() {
    Close();
}

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

bool CsvSink::Fail(const QString& message) {
    lastError_ =
        message.arg(QDir::toNativeSeparators(address_.Path), file_ ? file_->errorString() : QString());
    return false;
}

bool CsvSink::Open() {
    Close();
    lastError_.clear();
    file_ = std::make_unique<QSaveFile>(address_.Path);
    if (!file_->open(QIODevice::WriteOnly)) {
        Fail(QStringLiteral("Не удалось создать файл «%1»: %2"));
        file_.reset();
        return false;
    }
    const QByteArray header = HeaderLine();
    if (file_->write(header) != header.size()) {
        Fail(QStringLiteral("Не удалось записать файл «%1»: %2"));
        Close();
        return false;
    }
    return true;
}

bool CsvSink::Write(std::span<const Reading> readings) {
    lastError_.clear();
    if (!file_) {
        return Fail(QStringLiteral("Файл «%1» не открыт.%2"));
    }
    text_.resize(0);  // keeps its capacity from batch to batch
    for (const Reading& r : readings) {
        AppendLine(r, text_);
    }
    const QByteArray bytes = text_.toUtf8();
    if (file_->write(bytes) != bytes.size()) {
        return Fail(QStringLiteral("Не удалось записать файл «%1»: %2"));
    }
    return true;
}

bool CsvSink::Finish() {
    lastError_.clear();
    if (!file_) {
        return Fail(QStringLiteral("Файл «%1» не открыт.%2"));
    }
    if (!file_->commit()) {
        Fail(QStringLiteral("Не удалось записать файл «%1»: %2"));
        file_.reset();
        return false;
    }
    file_.reset();
    return true;
}

void CsvSink::Close() {
    if (file_) {
        file_->cancelWriting();
        file_.reset();
    }
}

}  // namespace lumvaris::sinks
