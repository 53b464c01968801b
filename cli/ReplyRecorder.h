#pragma once

#include <QJsonValue>
#include <QList>
#include <QString>

#include "commands/ReplyDisplays.h"

namespace lumvaris::cli {

// One value a reply showed: its JSON key, its label and text as the program prints it.
struct ShownValue {
    QString key;
    QString label;
    QString text;
    QJsonValue json;
};

// The command-line program's pages: every value the reply handler hands to the window's pages is
// kept here, in the order shown, for the command to print; a refusal's message is kept too.
class ReplyRecorder final : public commands::IConcentratorDisplay,
                            public commands::IProtectedDisplay,
                            public commands::IServiceDisplay,
                            public commands::ILineStateDisplay,
                            public commands::IPlcDisplay,
                            public commands::IKeyDisplay,
                            public commands::IVersionDisplay,
                            public commands::IReplyMessages {
  public:
    // Points every display part of the targets here.
    void Attach(commands::ReplyTargets& targets);

    // What has been shown since the last Clear.
    const QList<ShownValue>& Shown() const { return shown_; }
    // The refusal's message ("Пароль неверный!", "Команда недоступна, введите пароль!"), if any.
    const QString& Refusal() const { return refusal_; }
    void Clear();
    // A value shown from outside the handler (the UART-ID the connection reports).
    void Add(const QString& key, const QString& label, const QString& text, const QJsonValue& json);

    void SetPassword(const QString& password) { password_ = password; }
    void SetRegisterAddress(const QString& page, const QString& offset);

    void ShowConfiguration(const commands::ConfigurationByte& configuration, int networkSize) override;
    void ShowClock(const commands::ClockReading& clock) override;
    void ShowLastStart(const QDate& date, int hour, int minute) override;
    void ShowUartRate(int rateIndex) override;
    void ShowBillingDay(int billingDay) override;
    QString CurrentPassword() const override { return password_; }
    void ShowClockTrim(int ppm) override;
    QString RegisterPageText() const override { return registerPage_; }
    QString RegisterOffsetText() const override { return registerOffset_; }
    void ShowRegisters(const QStringList& lines) override;
    void ShowLineState(const commands::LineState& state) override;
    void ShowPlcFreeCells(int cells) override;
    void ShowFingerprint(const QString& fingerprint) override;
    void ShowVersion(const QString& text) override;
    void ShowReplyError(const QString& text) override { refusal_ = text; }

  private:
    QList<ShownValue> shown_;
    QString refusal_;
    QString password_;
    QString registerPage_;
    QString registerOffset_;
};

}  // namespace lumvaris::cli
