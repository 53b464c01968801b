#include "i18n/Language.h"

#include <QDir>
#include <QLocale>

#include <algorithm>

namespace lumvaris::i18n {
namespace {

// The language of `available` that the text names as a user may type it ("en", "EN", " en "), as
// spelt there; empty for none. A locale's name ("en_US") is not a language's.
QString Named(const QString& text, const QStringList& available) {
    for (const QString& language : available) {
        if (language.compare(text.trimmed(), Qt::CaseInsensitive) == 0) {
            return language;
        }
    }
    return {};
}

QString LanguageOfLocale(const QString& localeName, const QStringList& available) {
    // QLocale parses both "en_GB.UTF-8" and "en-GB"; an empty name, "C" and "POSIX" give C.
    const QLocale locale(localeName);
    if (localeName.trimmed().isEmpty() || locale.language() == QLocale::C) {
        return QString::fromLatin1(kSourceLanguage);
    }
    for (const QString& language : available) {
        if (QLocale(language).language() == locale.language()) {
            return language;
        }
    }
    return QString::fromLatin1(kSourceLanguage);
}

QString UnknownLanguageText(const QString& where, const QString& value, const QStringList& available) {
    return QStringLiteral("%1: язык «%2» программе не известен; известны: %3.")
        .arg(where, value, available.join(QStringLiteral(", ")));
}

}  // namespace

QStringList AvailableLanguages() {
    QStringList languages{QString::fromLatin1(kSourceLanguage)};
    const QStringList files = QDir(QStringLiteral(":/i18n")).entryList({QStringLiteral("lumvaris_*.qm")});
    for (const QString& file : files) {
        const QString code = file.mid(int(sizeof("lumvaris_")) - 1).chopped(3);
        if (!languages.contains(code)) {
            languages.append(code);
        }
    }
    std::sort(languages.begin(), languages.end());
    return languages;
}

LanguageChoice ChooseLanguage(const LanguageSources& sources, const QStringList& available) {
    LanguageChoice choice;
    const struct {
        const QString& value;
        const char* where;
    } explicitSources[] = {{sources.commandLine, "--lang"}, {sources.environment, "LUMVARIS_LANG"}};
    for (const auto& source : explicitSources) {
        if (source.value.trimmed().isEmpty()) {
            continue;
        }
        if (const QString language = Named(source.value, available); !language.isEmpty()) {
            choice.language = language;
            return choice;
        }
        // The first source given decides: a wrong value there is an error, not a cue to read the
        // next one (what follows is only what the window speaks meanwhile).
        choice.error =
            UnknownLanguageText(QString::fromLatin1(source.where), source.value.trimmed(), available);
        break;
    }
    if (const QString saved = Named(sources.saved, available); !saved.isEmpty()) {
        choice.language = saved;
    } else {
        choice.language = LanguageOfLocale(sources.systemLocale, available);
    }
    return choice;
}

LanguageSources ProcessSources(const QString& commandLine, const QString& saved) {
    LanguageSources sources;
    sources.commandLine = commandLine;
    sources.environment = qEnvironmentVariable("LUMVARIS_LANG");
    sources.saved = saved;
    const QLocale system = QLocale::system();
    sources.systemLocale = system.uiLanguages().value(0, system.name());
    return sources;
}

QString CommandLineLanguage(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--")) {
            break;
        }
        for (const QLatin1String name : {QLatin1String("--lang"), QLatin1String("-lang")}) {
            if (argument == name) {
                return arguments.value(i + 1);
            }
            if (argument.startsWith(name + QLatin1Char('='))) {
                return argument.mid(name.size() + 1);
            }
        }
    }
    return {};
}

QLocale ProgramLocale() {
    const QLocale locale;
    if (locale.language() != QLocale::Russian) {
        for (const QString& language : AvailableLanguages()) {
            if (QLocale(language).language() == locale.language()) {
                return locale;
            }
        }
    }
    return QLocale(QLocale::Russian, QLocale::Russia);
}

QString NativeLanguageName(const QString& language) {
    const QLocale locale(language);
    // English's own name in Qt is its country's ("American English").
    QString name = locale.language() == QLocale::English ? QLocale::languageToString(locale.language())
                                                         : locale.nativeLanguageName();
    if (name.isEmpty()) {
        return language;
    }
    name[0] = name[0].toUpper();
    return name;
}

}  // namespace lumvaris::i18n
