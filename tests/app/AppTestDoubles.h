#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/IConnectionDatabase.h"
#include "app/IMessageBox.h"
#include "app/IModifierKeys.h"
#include "app/IOpenDialog.h"
#include "app/ISaveDialog.h"
#include "app/ITimer.h"
#include "link/Requester.h"

#include <ostream>

// Readable texts in the failure messages of the window tests.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace lumvaris::testing {

class FakeTimerFactory;

// A timer that fires only when the test advances the factory's clock.
class FakeTimer final : public app::ITimer {
  public:
    FakeTimer(FakeTimerFactory& factory, std::string name, int intervalMs, std::function<void()> handler);
    ~FakeTimer() override;
    void Start() override;
    void Stop() override { active_ = false; }
    bool IsActive() const override { return active_; }
    int Interval() const override { return interval_; }

    const std::string& Name() const { return name_; }

  private:
    friend class FakeTimerFactory;
    FakeTimerFactory& factory_;
    std::string name_;
    int interval_;
    std::function<void()> handler_;
    bool active_ = false;
    long long deadline_ = 0;
};

// Driven time: Advance fires every due timer in deadline order, as often as it falls due.
class FakeTimerFactory final : public app::ITimerFactory {
  public:
    std::unique_ptr<app::ITimer> Create(const std::string& name, int intervalMs,
                                        std::function<void()> onTimeout) override;
    void Advance(int milliseconds);
    // Lets time pass to the deadline of the named timer, firing every timer due before it, then
    // fires that one once: a test can act between two firings of a 0 ms timer. False when the
    // timer is not running.
    bool FireNext(const std::string& name);
    long long Now() const { return now_; }
    FakeTimer* Find(const std::string& name) const;

  private:
    friend class FakeTimer;
    FakeTimer* FirstDue(long long target) const;
    void Fire(FakeTimer& timer);
    std::vector<FakeTimer*> timers_;
    long long now_ = 0;
};

class FakeModifierKeys final : public app::IModifierKeys {
  public:
    Qt::KeyboardModifiers Modifiers() const override { return held; }
    Qt::KeyboardModifiers held = Qt::NoModifier;
};

class FakeMessageBox final : public app::IMessageBox {
  public:
    void Error(QWidget*, const QString& text) override {
        errors << text;
        if (whileShown) {
            whileShown(text);
        }
    }
    bool Confirm(QWidget*, const QString& text) override {
        questions << text;
        return answer;
    }
    bool Warning(QWidget*, const QString& text) override {
        questions << text;
        return answer;
    }
    bool Retry(QWidget*, const QString& text, const QString& giveUpCaption) override {
        retries << text;
        giveUpCaptions << giveUpCaption;
        if (whileAsking) {
            whileAsking(text);
        }
        if (retryAnswers.empty()) {
            return false;
        }
        const bool again = retryAnswers.front();
        retryAnswers.erase(retryAnswers.begin());
        return again;
    }
    QStringList errors;
    QStringList questions;
    QStringList retries;
    QStringList giveUpCaptions;
    bool answer = true;
    std::vector<bool> retryAnswers;  // answered in turn; "give up" once they run out
    // Runs while an error box "is open": what the window's timers would do under a modal box.
    std::function<void(const QString& text)> whileShown;
    std::function<void(const QString& text)> whileAsking;
};

// A file dialog (the firmware file, the saved traffic): answers with the path set (empty:
// cancelled) and counts its showings.
class FakeFileDialog final : public app::IOpenDialog, public app::ISaveDialog {
  public:
    QString Execute(QWidget*) override {
        ++shown;
        return path;
    }
    QString path;
    int shown = 0;
};
using FakeOpenDialog = FakeFileDialog;
using FakeSaveDialog = FakeFileDialog;

class FakePause final : public link::IPause {
  public:
    void Pause(int milliseconds) override { pauses.push_back(milliseconds); }
    std::vector<int> pauses;
};

// Records what the window asks of the database, in order.
class FakeDatabase final : public app::IConnectionDatabase {
  public:
    void Open(const QString& portName) override {
        log << QStringLiteral("open ") + portName;
        if (!openError.empty()) {
            throw std::runtime_error(openError);
        }
    }
    void Save() override { log << QStringLiteral("save"); }
    void Release() override { log << QStringLiteral("release"); }
    QStringList log;
    std::string openError;
};

}  // namespace lumvaris::testing
