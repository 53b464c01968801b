#include "i18n/Language.h"

#include <QDir>
#include <QLocale>

#include <algorithm>

namespace lumvaris::i18n {
namespace {

// What a user may type: "en", "EN", " en ". Locale-style names ("en_US") are not language codes.
QString Normalised(const QString& text) {
    return text.trimmed().toLower();
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
        if (available.contains(Normalised(source.value))) {
            choice.language = Normalised(source.value);
            return choice;
        }
        // The first given source decides: a wrong value there is refused, not passed over to
        // one of lower precedence.
        choice.error =
            UnknownLanguageText(QString::fromLatin1(source.where), source.value.trimmed(), available);
        break;
    }
    if (available.contains(Normalised(sources.saved))) {
        choice.language = Normalised(sources.saved);
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
