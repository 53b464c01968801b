#include "meterdata/FileProblem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QSaveFile>

namespace lumvaris::meterdata {
namespace {

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The causes the engineer can mend, found without writing; empty when none of them holds.
QString KnownProblem(const QString& fileName) {
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile()) {
        return QCoreApplication::translate("meterdata::FileProblem", "«%1» не является файлом.")
            .arg(Native(fileName));
    }
    const QFileInfo directory(info.absolutePath());
    if (!directory.isDir()) {
        return QCoreApplication::translate("meterdata::FileProblem", "папка «%1» не существует.")
            .arg(Native(info.absolutePath()));
    }
    if (info.exists() && !info.isWritable()) {
        return QCoreApplication::translate("meterdata::FileProblem", "файл «%1» защищён от записи.")
            .arg(Native(fileName));
    }
    if (!directory.isWritable()) {
        return QCoreApplication::translate("meterdata::FileProblem", "нет права записи в папку «%1».")
            .arg(Native(info.absolutePath()));
    }
    return {};
}

}  // namespace

QString WriteProblem(const QString& fileName) {
    // A folder of the file's name would take the temporary file beside it: asked first.
    if (const QFileInfo info(fileName); info.exists() && !info.isFile()) {
        return KnownProblem(fileName);
    }
    QSaveFile probe(fileName);
    if (probe.open(QIODevice::WriteOnly)) {
        probe.cancelWriting();
        return {};
    }
    const QString known = KnownProblem(fileName);
    return !known.isEmpty()
               ? known
               : QCoreApplication::translate("meterdata::FileProblem", "файл «%1» не может быть записан: %2")
                     .arg(Native(fileName), probe.errorString());
}

QString WriteFailure(const QString& fileName, const QFileDevice& file) {
    if (const QString known = KnownProblem(fileName); !known.isEmpty()) {
        return known;
    }
    if (file.error() == QFileDevice::ResourceError) {
        return QCoreApplication::translate("meterdata::FileProblem", "на диске не хватает места для «%1».")
            .arg(Native(fileName));
    }
    return QCoreApplication::translate("meterdata::FileProblem",
                                       "ошибка записи «%1» (проверьте носитель): %2")
        .arg(Native(fileName), file.errorString());
}

}  // namespace lumvaris::meterdata
