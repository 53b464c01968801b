#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace lumvaris::keys {

// The bytes of a key file and their reading as an INI file, for section "Keys" only.
//
// Reading follows the INI conventions of the platform the key files come from:
// - lines end with LF or CR LF; a line whose first non-blank byte is "[" and which holds a "]" is a
//   section header, and its name (between the brackets, blanks trimmed) is compared without regard
//   to letter case; every section named "Keys" is read, in file order;
// - in those sections a line "identifier=value" is an entry: the identifier is the text before the
//   first "=", the value the text after it, both without leading and trailing blanks and control
//   characters (bytes up to 0x20, DEL and the undefined 0x98); identifiers are matched without regard to
//   letter case, and the first of equal identifiers is the one that counts;
// - a line starting with ";" is a comment; blank lines, lines without "=" or with an empty
//   identifier, and every line outside section "Keys" are not entries.
// Texts are code page 1251. Whatever the bytes, nothing is lost: SetValue changes or inserts one
// line and keeps every other byte of the image as it was.
class KeyFileText {
  public:
    explicit KeyFileText(QByteArray image = {});

    const QByteArray& Image() const { return image_; }

    // The identifiers of section "Keys" in file order, each once (the first spelling of those that
    // differ only in letter case).
    QStringList KeyNames() const;

    // The value of the entry of a key name (as KeyNameFromText gives it), or an empty text when
    // there is none.
    QString Value(const QString& keyName) const;

    // Sets the value of the entry `keyName`: the value of its first line is replaced (the
    // identifier keeps its spelling in the file), or a line "keyName=value" is added after the last
    // entry of the first section "Keys" (a new section at the end when there is none). Returns
    // false and leaves the image alone when the name is empty or refused by KeyNameError, or the
    // value holds a line break or a character code page 1251 cannot hold.
    bool SetValue(const QString& keyName, const QString& value);

  private:
    struct Line {
        qsizetype begin = 0;      // offset of the line in the image
        qsizetype length = 0;     // without its line end
        qsizetype eolLength = 0;  // 0, 1 (LF) or 2 (CR LF)
        bool header = false;      // a section header
        bool keysHeader = false;  // the header of a section "Keys"
        bool entry = false;       // an entry of section "Keys"
        qsizetype equals = 0;     // offset of the "=" of an entry within the line
        QString folded;           // the case-folded identifier of an entry
    };

    void Parse();
    const Line* FindEntry(const QString& keyName) const;
    QByteArray LineEnd() const;

    QByteArray image_;
    std::vector<Line> lines_;
};

}  // namespace lumvaris::keys
