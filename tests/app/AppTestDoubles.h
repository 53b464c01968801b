#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/IMessageBox.h"
#include "app/IModifierKeys.h"
#include "app/IOpenDialog.h"
#include "app/ISaveDialog.h"
#include "link/Requester.h"
#include "session/IConnectionDatabase.h"
#include "support/FakeTimers.h"

#include <ostream>

// Readable texts in the failure messages of the window tests.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace lumvaris::testing {

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
    void Inform(QWidget*, const QString& text) override { notices << text; }
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
    std::optional<QString> AskText(QWidget*, const QString& label, const QString&) override {
        questions << label;
        if (texts.empty()) {
            return std::nullopt;
        }
        const QString text = texts.front();
        texts.erase(texts.begin());
        return text;
    }
    QStringList errors;
    QStringList questions;
    QStringList notices;
    std::vector<QString> texts;  // typed in turn; cancelled once they run out
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

// Records what the connection asks of the database, in order, and the sources of the live
// packets it is given.
class FakeDatabase final : public session::IConnectionDatabase {
  public:
    session::DatabaseOpen Open(const QString& portName) override {
        log << QStringLiteral("open ") + portName;
        session::DatabaseOpen open;
        if (!openError.empty()) {
            open.result = session::Result::Failed(QString::fromStdString(openError));
        }
        return open;
    }
    session::Result Save() override {
        log << QStringLiteral("save");
        return session::Result::Done();
    }
    void Release() override { log << QStringLiteral("release"); }
    void StoreLivePacket(const link::FrameBuffer& frame) override {
        meterSources.push_back(link::SourceAddress(frame));
    }
    QStringList log;
    std::string openError;
    std::vector<std::uint16_t> meterSources;
};

}  // namespace lumvaris::testing
