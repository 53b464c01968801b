#include <gtest/gtest.h>

#include "i18n/Language.h"

using namespace lumvaris::i18n;

namespace {

struct ChoiceCase {
    const char* name;
    LanguageSources sources;
    QStringList available;
    const char* language;
    const char* errorPart;  // empty: no error
};

const QStringList kRuEn{"en", "ru"};

TEST(ChooseLanguage, PrecedenceAndLocales) {
    const ChoiceCase cases[] = {
        {"English desktop", {{}, {}, {}, "en-GB"}, kRuEn, "en", ""},
        {"English POSIX locale name", {{}, {}, {}, "en_US.UTF-8"}, kRuEn, "en", ""},
        {"Russian desktop", {{}, {}, {}, "ru-RU"}, kRuEn, "ru", ""},
        {"locale without a translation", {{}, {}, {}, "de-DE"}, kRuEn, "ru", ""},
        {"C locale", {{}, {}, {}, "C"}, kRuEn, "ru", ""},
        {"no locale at all", {{}, {}, {}, ""}, kRuEn, "ru", ""},
        {"a contributed translation", {{}, {}, {}, "zh-CN"}, {"en", "ru", "zh"}, "zh", ""},
        {"saved choice over the locale", {{}, {}, "en", "ru-RU"}, kRuEn, "en", ""},
        {"saved Russian on an English desktop", {{}, {}, "ru", "en-US"}, kRuEn, "ru", ""},
        {"unknown saved value passed over", {{}, {}, "xx", "en-US"}, kRuEn, "en", ""},
        {"environment over the saved choice", {{}, "en", "ru", "ru-RU"}, kRuEn, "en", ""},
        {"environment as typed", {{}, " EN ", {}, "ru-RU"}, kRuEn, "en", ""},
        {"command line over the environment", {"ru", "en", {}, "en-US"}, kRuEn, "ru", ""},
        {"unknown environment value", {{}, "de", "en", "ru-RU"}, kRuEn, "en", "LUMVARIS_LANG: язык «de»"},
        {"unknown command-line value", {"fr", "en", {}, "ru-RU"}, kRuEn, "ru", "--lang: язык «fr»"},
        {"a locale code is not a language code", {"en_US", {}, {}, "en-US"}, kRuEn, "en", "«en_US»"},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const LanguageChoice choice = ChooseLanguage(c.sources, c.available);
        EXPECT_EQ(choice.language.toStdString(), c.language);
        if (*c.errorPart == '\0') {
            EXPECT_TRUE(choice.error.isEmpty()) << choice.error.toStdString();
        } else {
            EXPECT_TRUE(choice.error.contains(QString::fromUtf8(c.errorPart))) << choice.error.toStdString();
            // The user is told what can be given.
            EXPECT_TRUE(choice.error.contains(QStringLiteral("en, ru"))) << choice.error.toStdString();
        }
    }
}

TEST(CommandLineLanguage, FoundBeforeTheParserRuns) {
    const struct {
        QStringList arguments;
        const char* language;
    } cases[] = {
        {{"lumvaris-cli", "info", "--lang", "en"}, "en"},
        {{"lumvaris-cli", "--lang=en", "info"}, "en"},
        {{"lumvaris-cli", "-lang", "en", "--help"}, "en"},
        {{"lumvaris-cli", "info", "--port", "ttyUSB0"}, ""},
        {{"lumvaris-cli", "info", "--lang"}, ""},
        // The program's own name is not an option, and nothing after "--" is one.
        {{"--lang=en", "info"}, ""},
        {{"lumvaris-cli", "send", "--", "--lang", "en"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(CommandLineLanguage(c.arguments).toStdString(), c.language);
    }
}

TEST(AvailableLanguages, TheCompiledTranslationsAndRussian) {
    // The translations are resources of a static library: linked in only when something keeps them.
    EXPECT_EQ(AvailableLanguages(), (QStringList{"en", "ru"}));
    EXPECT_EQ(NativeLanguageName(QStringLiteral("ru")), QStringLiteral("Русский"));
    EXPECT_EQ(NativeLanguageName(QStringLiteral("en")), QStringLiteral("English"));
}

}  // namespace
