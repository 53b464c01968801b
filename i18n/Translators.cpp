#include "i18n/Translators.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "i18n/Language.h"

namespace lumvaris::i18n {
namespace {

// Qt's catalogues whose texts the program can show: qtbase holds the widgets', the dialogs' and
// the SQL drivers'; qtserialport the port's errors.
const char* const kQtCatalogues[] = {"qtbase", "qtserialport"};

QString ProgramTranslation(const QString& language) {
    return QStringLiteral(":/i18n/lumvaris_%1.qm").arg(language);
}

}  // namespace

Translators::Translators() = default;

Translators::~Translators() {
    Remove();
}

void Translators::Remove() {
    for (const std::unique_ptr<QTranslator>& translator : installed_) {
        QCoreApplication::removeTranslator(translator.get());
    }
    installed_.clear();
    missing_.clear();
}

void Translators::Install(const QString& language) {
    Remove();
    language_ = language;
    const auto install = [this](const QString& file, const QString& directory = {}) {
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(file, directory)) {
            missing_.append(directory.isEmpty() ? file : directory + QLatin1Char('/') + file);
            return;
        }
        QCoreApplication::installTranslator(translator.get());
        installed_.push_back(std::move(translator));
    };
    if (language != QLatin1String("en")) {
        const QString directory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        for (const char* catalogue : kQtCatalogues) {
            install(QStringLiteral("%1_%2.qm").arg(QLatin1String(catalogue), language), directory);
        }
    }
    if (language != QLatin1String(kSourceLanguage)) {
        install(ProgramTranslation(language));
    }

    // An English desktop keeps its own country's formats (en_GB dates); any other desktop with an
    // English program gets the language's default country.
    const QLocale system = QLocale::system();
    const QLocale wanted(language);
    QLocale::setDefault(system.language() == wanted.language() ? system : wanted);
}

QString TranslatedInto(const QString& language, const char* context, const char* sourceText) {
    QTranslator translator;
    if (language != QLatin1String(kSourceLanguage) && translator.load(ProgramTranslation(language))) {
        const QString text = translator.translate(context, sourceText);
        if (!text.isEmpty()) {
            return text;
        }
    }
    return QString::fromUtf8(sourceText);
}

}  // namespace lumvaris::i18n
