#pragma once

#include <QString>
#include <QStringList>

namespace lumvaris::i18n {

// Languages are named by their ISO 639-1 codes ("ru", "en"). Russian is the language of the
// program's sources and needs no translation file; every other language is one that has a compiled
// translation of the program's texts.
inline constexpr char kSourceLanguage[] = "ru";

// Where the choice of language comes from, in order of precedence. Empty: not given.
struct LanguageSources {
    QString commandLine;   // lumvaris-cli --lang
    QString environment;   // LUMVARIS_LANG
    QString saved;         // the window's setting, kept between runs
    QString systemLocale;  // the desktop's first interface language: "en-GB", "ru_RU.UTF-8", "C"
};

struct LanguageChoice {
    QString language = QString::fromLatin1(kSourceLanguage);
    // Non-empty when the command line or the environment named a language the program does not
    // have (then `language` is what the rest of the sources give). In Russian: no language is
    // known to be read by the user yet.
    QString error;
};

// "ru" and the languages of the translations compiled into the program, sorted.
QStringList AvailableLanguages();

// The command line, then the environment, then the saved setting, then the system's locale: a
// locale whose language has a translation gives that language, any other locale Russian. An unknown
// saved setting is passed over quietly (a setting written by a later version of the program).
LanguageChoice ChooseLanguage(const LanguageSources& sources, const QStringList& available);

// The sources of this process: LUMVARIS_LANG and the system's locale, with the given command-line
// and saved values.
LanguageSources ProcessSources(const QString& commandLine, const QString& saved);

// The value of --lang (or -lang, --lang=...) among the program's arguments; empty without one. Read
// before the command line is parsed, since the parser's messages are already in the language.
QString CommandLineLanguage(const QStringList& arguments);

// The language's own name for itself, capitalised: "Русский", "English".
QString NativeLanguageName(const QString& language);

}  // namespace lumvaris::i18n
