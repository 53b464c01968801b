#pragma once

#include <QObject>
#include <QString>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

namespace lumvaris::app {

class IMessageBox;

// "Настройки" → "Язык": the languages the program has, each under its own name. The choice is kept in
// the data directory and takes effect at the next start, which the user is told in the language
// chosen (a user who picks "English" may not read the Russian of the running window).
class LanguageMenu final : public QObject {
    Q_OBJECT
  public:
    static constexpr const char* kNextStartText = QT_TRANSLATE_NOOP(
        "lumvaris::app::LanguageMenu", "Язык окна сменится при следующем запуске программы.");

    // `running`: the language the window speaks now.
    LanguageMenu(QMenu& options, QString dataDirectory, QString running, IMessageBox& messages,
                 QWidget* window);

    QMenu* Menu() const { return menu_; }
    QAction* Action(const QString& language) const;
    void Choose(const QString& language);

  private:
    QString dataDirectory_;
    QString running_;
    QString chosen_;
    IMessageBox& messages_;
    QWidget* window_;
    QMenu* menu_ = nullptr;
    QActionGroup* group_ = nullptr;
};

}  // namespace lumvaris::app
