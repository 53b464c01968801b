// lumvaris-cli: the concentrator from a terminal, a script or a service.

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <memory>

#include "cli/Collect.h"
#include "cli/Commands.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/Session.h"
#include "i18n/Language.h"
#include "i18n/Translators.h"
#include "session/Revision.h"
#include "session/StopSignals.h"
#include "session/TVersionInfo.h"

using namespace lumvaris;

namespace {

// The argument that is not UTF-8, or -1. The arguments reach QCoreApplication as local 8-bit
// text, where such bytes become U+FFFD unseen: two different site names would be one. Hence argv.
int FirstArgumentNotUtf8(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        if (QString::fromUtf8(bytes).toUtf8() != bytes) {
            return i;
        }
    }
    return -1;
}

// Qt's own warnings are English and meant for developers: what the SQL drivers say while a server is
// away ("Unable to free statement: no connection to the server"), the serial port's notes. The program
// says in its own messages what the engineer must know; Qt's go only to a developer who asks for them
// (LUMVARIS_QT_MESSAGES=1).
void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    static const bool shown = qEnvironmentVariableIsSet("LUMVARIS_QT_MESSAGES");
    if (!shown && type != QtFatalMsg) {
        return;
    }
    const QByteArray text = qFormatLogMessage(type, context, message).toLocal8Bit() + '\n';
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
}

void WriteError(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(QuietQtMessages);
    QCoreApplication application(argc, argv);
    // Before any text is made: the parser's messages and --help are already in the language.
    const i18n::LanguageChoice language = i18n::ChooseLanguage(
        i18n::ProcessSources(i18n::CommandLineLanguage(QCoreApplication::arguments()), {}),
        i18n::AvailableLanguages());
    i18n::Translators translators;
    translators.Install(language.language);
    if (const int bad = FirstArgumentNotUtf8(argc, argv); bad > 0) {
        WriteError(QCoreApplication::translate("cli::main",
                                               "Аргумент %1 («%2») - не текст в кодировке UTF-8.\n"
                                               "Справка: lumvaris-cli --help\n")
                       .arg(bad)
                       .arg(QString::fromUtf8(argv[bad])));
        return cli::Code(cli::ExitStatus::Usage);
    }
    if (!language.error.isEmpty()) {
        // In Russian: the language the user reads is not known.
        WriteError(language.error + QStringLiteral("\nСправка: lumvaris-cli --help\n"));
        return cli::Code(cli::ExitStatus::Usage);
    }
    // The window's name: an installed program keeps its files in the window's data directory.
    QCoreApplication::setApplicationName(QStringLiteral("Lumvaris"));
    const QString programPath = QCoreApplication::applicationFilePath();
    const session::RevisionValues revision =
        session::MakeRevisionValues(programPath, session::TVersionInfo(programPath));

    const cli::ParsedCommandLine parsed =
        cli::ParseCommandLine(QCoreApplication::arguments(), revision.versionCaption);
    if (!parsed.options) {
        const QByteArray text = parsed.text.toUtf8() + (parsed.text.endsWith(QLatin1Char('\n')) ? "" : "\n");
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()),
                    parsed.textIsError ? stderr : stdout);
        return cli::Code(parsed.status);
    }
    const cli::Options& options = *parsed.options;
    cli::Output output(options.json);

    QString dataDirectory = options.dataDirectory;
    if (dataDirectory.isEmpty()) {
        dataDirectory = session::DataDirectoryOf(revision.programDirectory);
    } else {
        dataDirectory = QDir::fromNativeSeparators(QDir(dataDirectory).absolutePath()) + QLatin1Char('/');
        if (!QDir().mkpath(dataDirectory)) {
            output.Message(QCoreApplication::translate("cli::main", "Каталог данных «%1» не создаётся.")
                               .arg(dataDirectory));
            return cli::Code(cli::ExitStatus::FileError);
        }
    }

    // SIGINT, SIGTERM and SIGHUP end every wait; the command saves and says how far it came.
    std::unique_ptr<cli::Session> session;
    std::unique_ptr<cli::Collector> collector;
    int stopSignal = 0;
    const session::StopSignals stopSignals([&](int signal) {
        // For the collector SIGHUP means: read the sites file again.
        if (collector) {
            collector->Signal(signal);
            return;
        }
        stopSignal = signal;
        if (session) {
            session->Stop(signal);
        }
    });

    cli::ExitStatus status = cli::ExitStatus::Done;
    switch (options.command) {
        case cli::Command::Ports:
            status = cli::RunPorts(output);
            break;
        case cli::Command::Export:
            status = cli::RunExport(options, output, dataDirectory, [&stopSignal] { return stopSignal; });
            break;
        case cli::Command::Sites:
            status = cli::RunSites(options, output);
            break;
        case cli::Command::Collect:
            collector = std::make_unique<cli::Collector>(options, output, dataDirectory);
            status = collector->Run();
            collector.reset();
            break;
        default: {
            session = std::make_unique<cli::Session>(options, output, dataDirectory);
            using Run = cli::ExitStatus (*)(cli::Session&);
            Run run = nullptr;
            switch (options.command) {
                case cli::Command::Info:
                    run = cli::RunInfo;
                    break;
                case cli::Command::Clock:
                    run = cli::RunClock;
                    break;
                case cli::Command::Send:
                    run = cli::RunSend;
                    break;
                case cli::Command::ReadAll:
                    run = cli::RunReadAll;
                    break;
                case cli::Command::Listen:
                    run = cli::RunListen;
                    break;
                case cli::Command::Firmware:
                    run = cli::RunFirmware;
                    break;
                default:
                    run = cli::RunKey;
                    break;
            }
            status = run(*session);
            session.reset();
            break;
        }
    }
    return cli::Code(status);
}
