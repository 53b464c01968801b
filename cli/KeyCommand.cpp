#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QTimer>

#include "cli/Commands.h"
#include "cli/Session.h"
#include "commands/Requests.h"
#include "keys/KeyDerivation.h"
#include "keys/KeyFile.h"

namespace lumvaris::cli {

ExitStatus RunKey(Session& session) {
    const Options& o = session.Opts();
    ExitStatus status = session.Open();
    if (status != ExitStatus::Done) {
        return status;
    }
    // The key file of the window's directory, under its rules; the derivation as the window's
    // computation window runs it, its pauses included, on the event loop.
    keys::KeyFile keyFile(session.DataDirectory() + QString::fromLatin1(keys::KeyFile::kFileName));
    keys::KeyDerivation derivation(keyFile);
    derivation.Begin(o.keyName);
    QElapsedTimer clock;
    clock.start();
    QTimer step;
    step.setSingleShot(true);
    QObject::connect(&step, &QTimer::timeout, [&] {
        derivation.Step(clock.elapsed());
        session.Out().Progress(derivation.Progress(), keys::KeyDerivation::kProgressMax);
        session.Wake();
    });
    if (!derivation.IsFinished()) {
        derivation.Start(clock.elapsed());
    }
    session.Wait([&] {
        if (derivation.IsFinished()) {
            return true;
        }
        const std::int64_t wait = derivation.MsUntilNextStep(clock.elapsed());
        if (wait >= 0 && !step.isActive()) {
            step.start(static_cast<int>(wait));
        }
        return false;
    });
    session.Out().EndProgress();
    if (!derivation.IsFinished()) {
        derivation.Cancel();  // a stop signal: nothing is written or sent
    }
    if (!derivation.ErrorText().isEmpty()) {
        session.Out().Message(derivation.ErrorText());
        return Worse(ExitStatus::FileError, session.Close());
    }
    if (!derivation.ShouldSend()) {
        return Worse(session.StopSignal() != 0 ? session.StopStatus() : ExitStatus::PortNotOpened,
                     session.Close());
    }
    status = session.Request(commands::request::KeyWrite(derivation.Key()));
    const bool stored = derivation.Source() == keys::KeyDerivation::KeySource::Stored;
    if (status == ExitStatus::Done) {
        session.Out().Text(QCoreApplication::translate("cli::KeyCommand", "Ключ «%1» загружен (%2).")
                               .arg(derivation.KeyName(),
                                    stored ? QCoreApplication::translate("cli::KeyCommand", "из Keys.ini")
                                           : QCoreApplication::translate("cli::KeyCommand",
                                                                         "вычислен и записан в Keys.ini")));
    }
    session.Out().Object(
        {{QStringLiteral("key_name"), derivation.KeyName()},
         {QStringLiteral("key_source"), stored ? QStringLiteral("stored") : QStringLiteral("computed")},
         {QStringLiteral("sent"), status == ExitStatus::Done}});
    return Worse(status, session.Close());
}

}  // namespace lumvaris::cli
