#pragma once

#include <QString>
#include <QStringList>

namespace lumvaris::keys {

class KeyFileText;

// The key file "Keys.ini" of the program directory: section "Keys", one entry per derived key,
// key name = 64-digit text form of the key (KeyFileText gives the INI reading). Every call reads
// the file afresh; a missing or unreadable file reads as one without entries.
class KeyFile {
  public:
    static constexpr const char* kFileName = "Keys.ini";

    explicit KeyFile(QString path);

    const QString& Path() const { return path_; }

    // The identifiers of section "Keys" in file order.
    QStringList KeyNames() const;

    // The value stored under a key name, or an empty text.
    QString ReadEntry(const QString& keyName) const;

    // Stores one entry and replaces the file atomically: a failed or interrupted write leaves the
    // old file whole. Every other byte of the file stays as it was. An existing file that cannot be
    // read is not replaced (its content would be lost). Returns false with LastError() set, a
    // message for the user.
    bool WriteEntry(const QString& keyName, const QString& value);

    const QString& LastError() const { return lastError_; }

  private:
    enum class ReadStatus { Read, Missing, Failed };

    ReadStatus Read(KeyFileText& text, QString* why) const;

    QString path_;
    QString lastError_;
};

}  // namespace lumvaris::keys
