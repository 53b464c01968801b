// The translation files against the sources: lupdate is run over the program into a copy of
// translations/, and every text of the program must have a finished translation that keeps the
// source's %1-style arguments.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

QStringList Arguments(const QString& text) {
    static const QRegularExpression kArgument(QStringLiteral("%L?(\\d+)"));
    QStringList found;
    for (auto it = kArgument.globalMatch(text); it.hasNext();) {
        found.append(QLatin1Char('%') + it.next().captured(1));
    }
    std::sort(found.begin(), found.end());
    return found;
}

QString ArgumentsText(const QString& text) {
    const QStringList arguments = Arguments(text);
    return arguments.isEmpty() ? QStringLiteral("none") : arguments.join(QLatin1Char(' '));
}

// One line per text that lacks a finished translation or whose translation's arguments differ from
// its source's, each naming the context and the source text.
QStringList TranslationProblems(const QByteArray& ts) {
    QStringList problems;
    QXmlStreamReader xml(ts);
    QString context;
    QString source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) {
            continue;
        }
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const QString type = xml.attributes().value(QLatin1String("type")).toString();
            // Plural forms, where a file has them, are each a translation of the one source.
            QStringList forms;
            while (xml.readNext() != QXmlStreamReader::EndElement ||
                   xml.name() != QLatin1String("translation")) {
                if (xml.isCharacters()) {
                    forms.append(xml.text().toString());
                } else if (xml.isStartElement() && xml.name() == QLatin1String("numerusform")) {
                    forms.append(xml.readElementText());
                }
                if (xml.atEnd()) {
                    break;
                }
            }
            forms.removeIf([](const QString& form) { return form.trimmed().isEmpty(); });
            const QString where = QStringLiteral("%1: «%2»").arg(context, source);
            if (!type.isEmpty() || forms.isEmpty()) {
                problems.append(where + QStringLiteral(": no finished translation"));
                continue;
            }
            for (const QString& form : forms) {
                if (Arguments(form) != Arguments(source)) {
                    problems.append(
                        QStringLiteral("%1 → «%2»: arguments %3 in the source, %4 in the translation")
                            .arg(where, form, ArgumentsText(source), ArgumentsText(form)));
                }
            }
        }
    }
    if (xml.hasError()) {
        problems.append(QStringLiteral("not a translation file: ") + xml.errorString());
    }
    return problems;
}

QByteArray Ts(const char* messages) {
    return QByteArray(R"(<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>app::Example</name>
)") + messages +
           "</context>\n</TS>\n";
}

TEST(TranslationProblems, NamesWhatIsMissingOrWrong) {
    const struct {
        const char* name;
        const char* messages;
        QStringList problems;
    } cases[] = {
        {"finished, arguments reordered",
         "<message><source>Счётчик %1 из %2</source><translation>%2 holds meter %1</translation></message>",
         {}},
        {"%L1 is %1",
         "<message><source>Записано %L1</source><translation>%1 written</translation></message>",
         {}},
        {"new text",
         "<message><source>Порт</source><translation type=\"unfinished\"></translation></message>",
         {"app::Example: «Порт»: no finished translation"}},
        {"translated but not marked done",
         "<message><source>Порт</source><translation type=\"unfinished\">Port</translation></message>",
         {"app::Example: «Порт»: no finished translation"}},
        {"text gone from the sources",
         "<message><source>Порт</source><translation type=\"vanished\">Port</translation></message>",
         {"app::Example: «Порт»: no finished translation"}},
        {"empty translation",
         "<message><source>Порт</source><translation></translation></message>",
         {"app::Example: «Порт»: no finished translation"}},
        {"argument lost",
         "<message><source>Порт %1 занят</source><translation>The port is busy</translation></message>",
         {"app::Example: «Порт %1 занят» → «The port is busy»: arguments %1 in the source, none in the "
          "translation"}},
        {"argument renumbered",
         "<message><source>%1 из %2</source><translation>%1 of %3</translation></message>",
         {"app::Example: «%1 из %2» → «%1 of %3»: arguments %1 %2 in the source, %1 %3 in the translation"}},
        {"argument doubled",
         "<message><source>Файл %1</source><translation>File %1 (%1)</translation></message>",
         {"app::Example: «Файл %1» → «File %1 (%1)»: arguments %1 in the source, %1 %1 in the translation"}},
        {"plural forms each checked",
         "<message numerus=\"yes\"><source>%n счётчиков</source><translation><numerusform>%n "
         "meter</numerusform>"
         "<numerusform>meters</numerusform></translation></message>",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TranslationProblems(Ts(c.messages)), c.problems);
    }
}

TEST(TranslationFiles, EveryTextOfTheProgramIsTranslated) {
    QTemporaryDir copies;
    ASSERT_TRUE(copies.isValid());
    QProcess lupdate;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LUPDATE"), QStringLiteral(LUMVARIS_LUPDATE));
    lupdate.setProcessEnvironment(environment);
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(QStringLiteral("bash"), {QStringLiteral(LUMVARIS_SOURCE_DIR "/scripts/update-translations"),
                                           QStringLiteral("--into"), copies.path()});
    ASSERT_TRUE(lupdate.waitForFinished(60000));
    ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAll().toStdString();

    const QStringList files = QDir(copies.path()).entryList({QStringLiteral("lumvaris_*.ts")});
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        QFile file(copies.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QStringList problems = TranslationProblems(file.readAll());
        EXPECT_TRUE(problems.isEmpty()) << "translations/" << name.toStdString()
                                        << " (scripts/update-translations, then Qt Linguist):\n  "
                                        << problems.join(QStringLiteral("\n  ")).toStdString();
    }
}

}  // namespace
