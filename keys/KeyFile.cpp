#include "keys/KeyFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <utility>

#include "keys/KeyFileText.h"
#include "keys/KeyName.h"

namespace lumvaris::keys {

KeyFile::KeyFile(QString path) : path_(std::move(path)) {}

KeyFile::ReadStatus KeyFile::Read(KeyFileText& text, QString* why) const {
    if (!QFileInfo::exists(path_)) {
        text = KeyFileText();
        return ReadStatus::Missing;
    }
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = file.errorString();
        text = KeyFileText();
        return ReadStatus::Failed;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *why = file.errorString();
        text = KeyFileText();
        return ReadStatus::Failed;
    }
    text = KeyFileText(std::move(bytes));
    return ReadStatus::Read;
}

QStringList KeyFile::KeyNames() const {
    KeyFileText text;
    QString why;
    Read(text, &why);
    return text.KeyNames();
}

QString KeyFile::ReadEntry(const QString& keyName) const {
    KeyFileText text;
    QString why;
    Read(text, &why);
    return text.Value(keyName);
}

bool KeyFile::WriteEntry(const QString& keyName, const QString& value) {
    lastError_.clear();
    const QString native = QDir::toNativeSeparators(path_);
    KeyFileText text;
    QString why;
    if (Read(text, &why) == ReadStatus::Failed) {
        lastError_ = QCoreApplication::translate(
                         "keys::KeyFile", "Не удалось прочитать файл ключей «%1»: %2. Ключ не записан.")
                         .arg(native, why);
        return false;
    }
    if (!text.SetValue(keyName, value)) {
        const QString nameError = KeyNameError(keyName);
        lastError_ = nameError.isEmpty() ? QCoreApplication::translate(
                                               "keys::KeyFile", "Ключ «%1» нельзя записать в файл ключей.")
                                               .arg(keyName)
                                         : nameError;
        return false;
    }
    QSaveFile file(path_);
    const QByteArray& image = text.Image();
    // The keys stand in clear: the owner's alone, also when an older file was readable by all.
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(image) != image.size() || !file.commit()) {
        lastError_ = QCoreApplication::translate("keys::KeyFile", "Не удалось записать файл ключей «%1»: %2")
                         .arg(native, file.errorString());
        return false;
    }
    return true;
}

}  // namespace lumvaris::keys
