#include "sinks/LineFileSink.h"

#include <QCoreApplication>
#include "sinks/FileText.h"

#include <QDir>
#include <QFileInfo>

namespace lumvaris::sinks {

LineFileSink::~LineFileSink() {
    Close();
}

QString LineFileSink::Name() const {
    return address_.Path == QLatin1String("-")
               ? QCoreApplication::translate("sinks::LineFileSink", "стандартный вывод")
               : QStringLiteral("«%1»").arg(QDir::toNativeSeparators(address_.Path));
}

bool LineFileSink::Fail(const QString& message, const QString& why) {
    lastError_ = message.arg(Name(), why);
    return false;
}

bool LineFileSink::Open() {
    Close();
    lastError_.clear();
    refused_ = false;
    const QFileInfo info(address_.Path);
    const bool stream =
        address_.Path == QLatin1String("-") || (info.exists() && !info.isFile() && !info.isDir());
    if (mode_ == Mode::Whole && !stream) {
        if (info.isDir()) {
            return Fail(QCoreApplication::translate("sinks::LineFileSink", "Не удалось создать файл %1: %2"),
                        SystemErrorText(EISDIR));
        }
        saved_ = std::make_unique<QSaveFile>(address_.Path);
        if (!saved_->open(QIODevice::WriteOnly)) {
            const QString why = FileErrorText(*saved_);
            saved_.reset();
            return Fail(QCoreApplication::translate("sinks::LineFileSink", "Не удалось создать файл %1: %2"),
                        why);
        }
        const QByteArray header = Header();
        if (!header.isEmpty() && saved_->write(header) != header.size()) {
            const QString why = FileErrorText(*saved_);
            Close();
            return Fail(QCoreApplication::translate("sinks::LineFileSink", "Не удалось записать файл %1: %2"),
                        why);
        }
        return true;
    }
    QString why;
    if (!appended_.Open(address_.Path, why)) {
        return Fail(
            QCoreApplication::translate("sinks::LineFileSink", "Не удалось открыть %1 для записи: %2"), why);
    }
    if (!PrepareForLines(appended_, Header(), FirstByte(), why, refused_)) {
        appended_.Close();
        return Fail(QCoreApplication::translate("sinks::LineFileSink", "Показания не дописываются в %1: %2"),
                    why);
    }
    return true;
}

bool LineFileSink::Write(std::span<const Reading> readings, qint64* added) {
    lastError_.clear();
    if (added != nullptr) {
        *added = 0;
    }
    if (!IsOpen()) {
        return Fail(QCoreApplication::translate("sinks::LineFileSink", "%1 не открыт.%2"), QString());
    }
    bytes_.clear();
    Encode(readings, bytes_);
    if (saved_) {
        if (saved_->write(bytes_) != bytes_.size()) {
            return Fail(QCoreApplication::translate("sinks::LineFileSink", "Не удалось записать в %1: %2"),
                        FileErrorText(*saved_));
        }
    } else {
        QString why;
        if (!appended_.Write(bytes_, why)) {
            return Fail(QCoreApplication::translate("sinks::LineFileSink", "Не удалось записать в %1: %2"),
                        why);
        }
    }
    if (added != nullptr) {
        *added = static_cast<qint64>(readings.size());
    }
    return true;
}

bool LineFileSink::Finish() {
    lastError_.clear();
    if (saved_) {
        const bool ok = saved_->commit();
        const QString why = ok ? QString() : FileErrorText(*saved_);
        saved_.reset();
        return ok ||
               Fail(QCoreApplication::translate("sinks::LineFileSink", "Не удалось записать в %1: %2"), why);
    }
    appended_.Close();
    return true;
}

void LineFileSink::Close() {
    if (saved_) {
        saved_->cancelWriting();
        saved_.reset();
    }
    appended_.Close();
}

}  // namespace lumvaris::sinks
