#include "LumvarisApplication.h"

#include <exception>

#include "i18n/Language.h"
#include "i18n/LanguageSetting.h"

namespace lumvaris::app {

LumvarisApplication::LumvarisApplication(int& argc, char** argv) : QApplication(argc, argv) {}

QString LumvarisApplication::InstallLanguage(const QString& dataDirectory) {
    // A wrong LUMVARIS_LANG is a developer's: the window passes it over for the saved choice or the locale.
    const i18n::LanguageChoice choice = i18n::ChooseLanguage(
        i18n::ProcessSources({}, i18n::SavedLanguage(dataDirectory)), i18n::AvailableLanguages());
    translators_.Install(choice.language);
    return choice.language;
}

bool LumvarisApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (report_) {
            report_(QString::fromUtf8(e.what()));
        }
    } catch (...) {
        if (report_) {
            report_(tr("Непредвиденная ошибка."));
        }
    }
    return false;
}

}  // namespace lumvaris::app
