#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QTranslator;

namespace lumvaris::i18n {

// The translators of one language in the running application: Qt's own texts (the standard
// buttons, the file dialog, the text fields' context menus, the serial port's and SQL drivers'
// errors) from Qt's translations in QLibraryInfo::TranslationsPath, and the program's own texts
// from the translation compiled into the program. Russian has no program translation (the sources
// are Russian); English has no Qt translation (Qt's texts are English). Install before any text
// is built: texts already made keep their language.
class Translators {
  public:
    Translators();
    ~Translators();
    Translators(const Translators&) = delete;
    Translators& operator=(const Translators&) = delete;

    // Replaces the translators installed before. Also makes the language QLocale's default, which
    // names the calendar's days and months; QLocale::system(), which formats the readings, stays.
    void Install(const QString& language);

    const QString& Language() const { return language_; }
    // The translation files that were wanted and not found (Qt's translations not installed):
    // their texts stay as in the sources.
    const QStringList& Missing() const { return missing_; }

  private:
    void Remove();

    QString language_;
    std::vector<std::unique_ptr<QTranslator>> installed_;
    QStringList missing_;
};

// One text of the program in the given language, without installing anything: for the few texts
// that must speak the language the user just chose rather than the one in effect.
QString TranslatedInto(const QString& language, const char* context, const char* sourceText);

}  // namespace lumvaris::i18n
