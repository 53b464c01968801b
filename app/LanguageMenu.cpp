#include "app/LanguageMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "app/IMessageBox.h"
#include "i18n/Language.h"
#include "i18n/LanguageSetting.h"
#include "i18n/Translators.h"

namespace lumvaris::app {

LanguageMenu::LanguageMenu(QMenu& options, QString dataDirectory, QString running, IMessageBox& messages,
                           QWidget* window)
    : QObject(&options),
      dataDirectory_(std::move(dataDirectory)),
      running_(std::move(running)),
      chosen_(running_),
      messages_(messages),
      window_(window) {
    options.addSeparator();
    menu_ = options.addMenu(tr("Язык"));
    menu_->setObjectName(QStringLiteral("NMainOptionsLanguage"));
    group_ = new QActionGroup(menu_);
    for (const QString& language : i18n::AvailableLanguages()) {
        QAction* action = menu_->addAction(i18n::NativeLanguageName(language));
        action->setData(language);
        action->setCheckable(true);
        action->setChecked(language == running_);
        group_->addAction(action);
        connect(action, &QAction::triggered, this, [this, language] { Choose(language); });
    }
}

QAction* LanguageMenu::Action(const QString& language) const {
    for (QAction* action : group_->actions()) {
        if (action->data().toString() == language) {
            return action;
        }
    }
    return nullptr;
}

void LanguageMenu::Choose(const QString& language) {
    if (!i18n::SaveLanguage(dataDirectory_, language)) {
        messages_.Error(window_,
                        tr("Язык не сохранён: файл настроек в «%1» не записывается.").arg(dataDirectory_));
        if (QAction* previous = Action(chosen_)) {
            previous->setChecked(true);
        }
        return;
    }
    const bool changed = language != chosen_;
    chosen_ = language;
    if (QAction* action = Action(language)) {
        action->setChecked(true);
    }
    if (changed && language != running_) {
        messages_.Inform(window_,
                         i18n::TranslatedInto(language, "lumvaris::app::LanguageMenu", kNextStartText));
    }
}

}  // namespace lumvaris::app
