#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

#include "app/PageServices.h"
#include "commands/ReplyDisplays.h"

class QPushButton;

namespace Ui {
class TFormMain;
}

namespace lumvaris::meterdata {
class IClock;
}
namespace lumvaris::commands {
class ProtectedAccess;
}

namespace lumvaris::app {

// "'Защищённые' команды": the concentrator's clock, serial rate, billing day and password, and the
// window's side of the access control; also the clock group of the tests page (a chosen date and
// time, the time of the last start). The protected set buttons wait for an accepted password while
// access control is on; every request but the password itself locks them again.
class ProtectedPage final : public QObject, public commands::IProtectedDisplay {
    Q_OBJECT
  public:
    ProtectedPage(Ui::TFormMain& form, const PageServices& services, const meterdata::IClock& clock,
                  commands::ProtectedAccess& access);
    ~ProtectedPage() override;

    void ButtonTimeGetClick();
    void ButtonTimeSetClick();
    void ButtonBDRgetClick();
    void ButtonBDRsetClick();
    void ButtonBDAYgetClick();
    void ButtonBDAYsetClick();
    void ButtonPasswordSendClick();
    void ButtonPasswordSetClick();
    void CheckBoxPasswordProtectionClick();
    void ButtonExtraTimeDateClick();
    void ButtonLastResetTimeDateClick();
    void SpinEditYearChange();
    void ComboBoxMonthChange();

    // "Включить управление ограничением доступа" is ticked.
    bool AccessControlOn() const;
    // ButtonTimeSet, ButtonBDRset, ButtonBDAYset and ButtonPasswordSet.
    QList<QPushButton*> ProtectedSetButtons() const;
    // TimerRefresh: the workstation's date, time and weekday, unless the concentrator's are shown
    // (maroon until the colour reset).
    void ShowWorkstationClock();

    // commands::IProtectedDisplay
    void ShowClock(const commands::ClockReading& clock) override;
    void ShowLastStart(const QDate& date, int hour, int minute) override;
    void ShowUartRate(int rateIndex) override;
    void ShowBillingDay(int billingDay) override;
    QString CurrentPassword() const override;

  private:
    // The calendar's own navigation (a day of the next month, the page keys) moves the year and
    // month fields along, so the date sent is the one the calendar shows.
    void CalendarPageChange(int year, int month);
    // The bytes of a typed text, or nothing after the message box that says why it cannot go.
    std::optional<QByteArray> TextToSend(const QString& text, const QString& subject);
    void ShowDateTime(const QDateTime& dateTime);
    // The four set buttons: enabled unless access control is on and no password was accepted.
    void DrawProtectedButtons();

    Ui::TFormMain& form_;
    PageServices services_;
    const meterdata::IClock& clock_;
    commands::ProtectedAccess& access_;
    QString dateFormat_;
    QString timeFormat_;
};

}  // namespace lumvaris::app
