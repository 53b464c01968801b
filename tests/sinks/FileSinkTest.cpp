#include "SinkTestSupport.h"

#include "sinks/ISink.h"
#include "sinks/SinkUrl.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace lumvaris::sinks {
namespace {

// Random readings whose texts need quoting (commas, quotes, line breaks, blanks) written to CSV
// and JSON Lines, then read back by Python's csv module and by a JSON parser.
TEST(FileSinks, CsvAndJsonLinesReadBackByTheirParsersGiveTheSameValues) {
    const QString sites[] = {"ТП-17", "a,b", "say \"hi\"", "two\r\nlines", "", " ", "x\ny"};
    std::mt19937 rng(3);
    const ReadingBuilder builder(QLocale(QLocale::Russian, QLocale::Russia));
    std::vector<Reading> readings(300);
    for (std::size_t i = 0; i < readings.size(); ++i) {
        ASSERT_TRUE(builder.Build(test::RandomRecord(rng), meterdata::RecordSource::Live,
                                  sites[i % std::size(sites)], i % 3 ? "2FFF" : "", readings[i]));
    }
    QTemporaryDir dir;
    for (const char* name : {"r.csv", "r.jsonl"}) {
        const QString path = dir.filePath(name);
        QString error;
        std::unique_ptr<ISink> sink = OpenSink((path.endsWith("csv") ? "csv:" : "jsonl:") + path, error);
        ASSERT_TRUE(sink) << error.toStdString();
        ASSERT_TRUE(sink->Write(std::span(readings).first(100)) &&
                    sink->Write(std::span(readings).subspan(100)));
        EXPECT_FALSE(QFile::exists(path));  // put in place by Finish
        ASSERT_TRUE(sink->Finish());
    }

    QProcess python;
    python.start("python3", {"-c",
                             "import csv, json, sys\n"
                             "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                             "    print(json.dumps(list(csv.reader(f, strict=True))))\n",
                             dir.filePath("r.csv")});
    ASSERT_TRUE(python.waitForFinished(30000) && python.exitCode() == 0)
        << python.readAllStandardError().data();
    const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    QFile jsonl(dir.filePath("r.jsonl"));
    ASSERT_TRUE(jsonl.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = jsonl.readAll().split('\n');
    ASSERT_EQ(rows.size(), qsizetype(readings.size()) + 1);
    ASSERT_EQ(lines.size(), qsizetype(readings.size()) + 1);  // the last line ends too
    EXPECT_EQ(
        rows[0].toVariant().toStringList().join(','),
        "site,uart_id,meter,type,word_a,word_b,level,phase,time,source,family,current_text,snapshot_text,"
        "value,unit");
    for (std::size_t i = 0; i < readings.size(); ++i) {
        QStringList fields = rows[qsizetype(i) + 1].toVariant().toStringList();
        ASSERT_EQ(fields.size(), kReadingFieldCount);
        fields[13] = fields[13].isEmpty() ? "NULL" : QString::number(fields[13].toDouble(), 'g', 17);
        EXPECT_EQ(fields, test::Fields(readings[i])) << i;
        QJsonParseError error;
        const QJsonDocument line = QJsonDocument::fromJson(lines[qsizetype(i)], &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << i;
        EXPECT_EQ(test::Fields(line.object()), test::Fields(readings[i])) << i;
    }
}

}  // namespace
}  // namespace lumvaris::sinks
