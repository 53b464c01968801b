#include "app/ProtectedPage.h"
#include "app/Highlights.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <stdexcept>

#include "app/IMessageBox.h"
#include "commands/CommandSender.h"
#include "commands/ProtectedAccess.h"
#include "commands/Text1251.h"
#include "i18n/Language.h"
#include "meterdata/IClock.h"
#include "meterdata/RecordTextFormatter.h"
#include "ui/WidgetColours.h"
#include "ui_FormMain.h"

namespace lumvaris::app {

using commands::RequestType;
namespace request = commands::request;

namespace {

// The day of a month, held within the month's length.
QDate DayOf(int year, int month, int day) {
    return QDate(year, month, std::min(day, QDate(year, month, 1).daysInMonth()));
}

}  // namespace

ProtectedPage::ProtectedPage(Ui::TFormMain& form, const PageServices& services,
                             const meterdata::IClock& clock, commands::ProtectedAccess& access)
    : form_(form), services_(services), clock_(clock), access_(access) {
    access_.SetListener([this](bool) { DrawProtectedButtons(); });
    const auto on = [this](QPushButton* button, void (ProtectedPage::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                services_.Guard([this, handler] { (this->*handler)(); }));
    };
    on(form_.ButtonTimeGet, &ProtectedPage::ButtonTimeGetClick);
    on(form_.ButtonTimeSet, &ProtectedPage::ButtonTimeSetClick);
    on(form_.ButtonBDRget, &ProtectedPage::ButtonBDRgetClick);
    on(form_.ButtonBDRset, &ProtectedPage::ButtonBDRsetClick);
    on(form_.ButtonBDAYget, &ProtectedPage::ButtonBDAYgetClick);
    on(form_.ButtonBDAYset, &ProtectedPage::ButtonBDAYsetClick);
    on(form_.ButtonPasswordSend, &ProtectedPage::ButtonPasswordSendClick);
    on(form_.ButtonPasswordSet, &ProtectedPage::ButtonPasswordSetClick);
    on(form_.ButtonExtraTimeDate, &ProtectedPage::ButtonExtraTimeDateClick);
    on(form_.ButtonLastResetTimeDate, &ProtectedPage::ButtonLastResetTimeDateClick);
    connect(form_.CheckBoxPasswordProtection, &QCheckBox::toggled, this,
            services_.Guard([this] { CheckBoxPasswordProtectionClick(); }));
    connect(form_.SpinEditYear, &QSpinBox::valueChanged, this,
            services_.Guard([this] { SpinEditYearChange(); }));
    connect(form_.ComboBoxMonth, &QComboBox::currentIndexChanged, this,
            services_.Guard([this] { ComboBoxMonthChange(); }));
    connect(form_.Calendar, &QCalendarWidget::currentPageChanged, this, [this](int year, int month) {
        services_.guarded([=, this] { CalendarPageChange(year, month); });
    });

    // The concentrator's date and time in the workstation's formats, as the tables show theirs.
    const QLocale locale = QLocale::system();
    dateFormat_ = locale.dateFormat(QLocale::ShortFormat);
    timeFormat_ = meterdata::RecordTextFormatter::StripTimeZone(locale.timeFormat(QLocale::LongFormat));
    ui::SetReadOnlyBackground(form_.EditDate);
    ui::SetReadOnlyBackground(form_.EditTime);
    ui::SetReadOnlyBackground(form_.MemoProtection);

    // The calendar speaks the program's language whatever the workstation's locale, and stays
    // within the years of the year field.
    form_.Calendar->setLocale(i18n::ProgramLocale());
    form_.Calendar->setDateRange(QDate(form_.SpinEditYear->minimum(), 1, 1),
                                 QDate(form_.SpinEditYear->maximum(), 12, 31));
    const QDate today = clock_.Now().date();
    form_.Calendar->setSelectedDate(today);
    form_.SpinEditYear->setValue(today.year());
    form_.ComboBoxMonth->setCurrentIndex(today.month() - 1);
}

ProtectedPage::~ProtectedPage() {
    access_.SetListener(nullptr);
}

// ---------------------------------------------------------------------------------------------
// The protected tab

void ProtectedPage::ButtonTimeGetClick() {
    services_.sender.Send(request::Plain(RequestType::ClockRead));
}

void ProtectedPage::ButtonTimeSetClick() {
    services_.sender.Send(request::ClockWrite(commands::ClockRecord::FromDateTime(clock_.Now())));
}

void ProtectedPage::ButtonBDRgetClick() {
    services_.sender.Send(request::Plain(RequestType::UartRateRead));
}

void ProtectedPage::ButtonBDRsetClick() {
    // The local port follows when the concentrator answers at its old rate.
    services_.sender.Send(request::UartRateWrite(form_.ComboBoxBaudrateNew->currentIndex()));
}

void ProtectedPage::ButtonBDAYgetClick() {
    services_.sender.Send(request::Plain(RequestType::BillingDayRead));
}

void ProtectedPage::ButtonBDAYsetClick() {
    services_.sender.Send(request::BillingDayWrite(form_.SpinEditBDAY->value()));
}

std::optional<QByteArray> ProtectedPage::TextToSend(const QString& text, const QString& subject) {
    const commands::LinkText link = commands::TextForLink(text, subject);
    if (link.Refused()) {
        services_.messages.Error(services_.window, link.refusal);
        return std::nullopt;
    }
    return link.bytes;
}

void ProtectedPage::ButtonPasswordSendClick() {
    if (const auto bytes = TextToSend(form_.EditPasswordOld->text(), tr("Текущий пароль"))) {
        services_.sender.Send(request::PasswordSend(reinterpret_cast<const std::uint8_t*>(bytes->constData()),
                                                    static_cast<std::size_t>(bytes->size())));
    }
}

void ProtectedPage::ButtonPasswordSetClick() {
    // An empty new password lifts every access limit of the concentrator.
    if (const auto bytes = TextToSend(form_.EditPasswordNew->text(), tr("Новый пароль"))) {
        services_.sender.Send(
            request::PasswordWrite(reinterpret_cast<const std::uint8_t*>(bytes->constData()),
                                   static_cast<std::size_t>(bytes->size())));
    }
}

void ProtectedPage::CheckBoxPasswordProtectionClick() {
    const bool on = AccessControlOn();
    form_.GroupBoxPassword->setVisible(on);
    access_.UseUp();  // a password accepted before counts no more
    if (on) {
        form_.EditPasswordOld->clear();
        form_.EditPasswordNew->clear();
    }
}

bool ProtectedPage::AccessControlOn() const {
    return form_.CheckBoxPasswordProtection->isChecked();
}

QList<QPushButton*> ProtectedPage::ProtectedSetButtons() const {
    return {form_.ButtonTimeSet, form_.ButtonBDRset, form_.ButtonBDAYset, form_.ButtonPasswordSet};
}

void ProtectedPage::DrawProtectedButtons() {
    const bool enabled = !AccessControlOn() || access_.Granted();
    for (QPushButton* button : ProtectedSetButtons()) {
        button->setEnabled(enabled);
    }
}

QString ProtectedPage::CurrentPassword() const {
    return form_.EditPasswordOld->text();
}

void ProtectedPage::ShowDateTime(const QDateTime& dateTime) {
    const QLocale locale = QLocale::system();
    form_.EditDate->setText(locale.toString(dateTime.date(), dateFormat_));
    form_.EditTime->setText(locale.toString(dateTime.time(), timeFormat_));
}

void ProtectedPage::ShowClock(const commands::ClockReading& clock) {
    ShowDateTime(clock.dateTime);
    form_.LabelWD->setText(clock.weekday);
    form_.LabelSecOffset->setText(commands::ClockOffsetText(clock.offsetSeconds));
    services_.highlights.Highlight(form_.EditDate);
    services_.highlights.Highlight(form_.EditTime);
    services_.highlights.Highlight(form_.LabelWD);
}

void ProtectedPage::ShowWorkstationClock() {
    if (services_.highlights.IsHighlighted(form_.EditDate)) {
        return;
    }
    const QDateTime now = clock_.Now();
    ShowDateTime(now);
    form_.LabelWD->setText(commands::WeekdayName(commands::WeekdayByte(now.date())));
}

void ProtectedPage::ShowUartRate(int rateIndex) {
    form_.ComboBoxBaudrateNew->setCurrentIndex(rateIndex);
    services_.highlights.Highlight(form_.ComboBoxBaudrateNew);
}

void ProtectedPage::ShowBillingDay(int billingDay) {
    form_.SpinEditBDAY->setValue(billingDay);
    services_.highlights.Highlight(form_.SpinEditBDAY);
}

// ---------------------------------------------------------------------------------------------
// The clock group of the tests page

void ProtectedPage::ButtonExtraTimeDateClick() {
    const QDate shown = form_.Calendar->selectedDate();
    const QDate date(form_.SpinEditYear->value(), shown.month(), shown.day());
    if (!date.isValid()) {
        throw std::runtime_error(tr("Дата %1.%2.%3 не существует.")
                                     .arg(shown.day())
                                     .arg(shown.month())
                                     .arg(form_.SpinEditYear->value())
                                     .toStdString());
    }
    services_.sender.Send(request::ClockWrite(commands::ClockRecord::FromDateTime(
        date, form_.SpinEditHour->value(), form_.SpinEditMin->value(), 0)));
}

void ProtectedPage::ButtonLastResetTimeDateClick() {
    services_.sender.Send(request::Plain(RequestType::LastStartRead));
}

void ProtectedPage::SpinEditYearChange() {
    const QDate shown = form_.Calendar->selectedDate();
    const int year = form_.SpinEditYear->value();
    form_.Calendar->setSelectedDate(DayOf(year, shown.month(), shown.day()));
    form_.Calendar->setCurrentPage(year, shown.month());
}

void ProtectedPage::ComboBoxMonthChange() {
    const int index = form_.ComboBoxMonth->currentIndex();
    if (index < 0) {
        return;
    }
    const QDate shown = form_.Calendar->selectedDate();
    form_.Calendar->setSelectedDate(DayOf(shown.year(), index + 1, shown.day()));
    form_.Calendar->setCurrentPage(shown.year(), index + 1);
}

void ProtectedPage::CalendarPageChange(int year, int month) {
    form_.SpinEditYear->setValue(year);
    form_.ComboBoxMonth->setCurrentIndex(month - 1);
}

void ProtectedPage::ShowLastStart(const QDate& date, int hour, int minute) {
    form_.SpinEditYear->setValue(date.year());
    form_.ComboBoxMonth->setCurrentIndex(date.month() - 1);
    form_.Calendar->setSelectedDate(date);
    form_.SpinEditHour->setValue(hour);
    form_.SpinEditMin->setValue(minute);
}

}  // namespace lumvaris::app
