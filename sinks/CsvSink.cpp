#include "sinks/CsvSink.h"

#include <QDir>
#include <QLocale>

namespace lumvaris::sinks {

namespace {

void AppendText(const QString& text, QByteArray& out) {
    out += '"';
    const QByteArray bytes = text.toUtf8();
    for (char c : bytes) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
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

void CsvSink::AppendLine(const Reading& r, QByteArray& out) {
    AppendText(r.Site, out);
    out += ',';
    AppendText(r.UartId, out);
    out += ',';
    out += QByteArray::number(r.Meter);
    out += ',';
    out += QByteArray::number(r.Type);
    out += ',';
    out += QByteArray::number(r.WordA);
    out += ',';
    out += QByteArray::number(r.WordB);
    out += ',';
    out += QByteArray::number(r.Level);
    out += ',';
    AppendText(r.Phase, out);
    out += ',';
    AppendText(TimeText(r.Time), out);
    out += ',';
    AppendText(r.Source, out);
    out += ',';
    AppendText(r.Family, out);
    out += ',';
    AppendText(r.Current, out);
    out += ',';
    AppendText(r.Snapshot, out);
    out += ',';
    if (r.Value) {
        out += QByteArray::number(*r.Value, 'g', QLocale::FloatingPointShortest);
    }
    out += ',';
    AppendText(r.Unit, out);
    out += "\r\n";
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
    buffer_.clear();
    for (const Reading& r : readings) {
        AppendLine(r, buffer_);
    }
    if (file_->write(buffer_) != buffer_.size()) {
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
