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

using test::Fields;

// Random readings with texts that need quoting: commas, quotes, line breaks, Cyrillic, blanks.
std::vector<Reading> TrickyReadings(int count) {
    const QString sites[] = {"ТП-17", "a,b", "say \"hi\"", "two\r\nlines", "", " ", "x\ny"};
    std::mt19937 rng(3);
    const ReadingBuilder builder(QLocale(QLocale::Russian, QLocale::Russia));
    std::vector<Reading> readings;
    for (int i = 0; i < count; ++i) {
        Reading r;
        EXPECT_TRUE(builder.Build(test::RandomRecord(rng), meterdata::RecordSource::Live,
                                  sites[i % std::size(sites)], i % 3 ? "2FFF" : "", r));
        readings.push_back(r);
    }
    return readings;
}

std::unique_ptr<ISink> Written(const QString& url, const std::vector<Reading>& readings) {
    QString error;
    std::unique_ptr<ISink> sink = OpenSink(url, error);
    EXPECT_TRUE(sink) << error.toStdString();
    if (sink) {
        EXPECT_TRUE(sink->Write(std::span(readings).first(readings.size() / 2)));
        EXPECT_TRUE(sink->Write(std::span(readings).subspan(readings.size() / 2)));
    }
    return sink;
}

TEST(FileSinks, CsvReadBackByPythonsCsvReaderGivesTheSameValues) {
    QTemporaryDir dir;
    const QString path = dir.filePath("readings.csv");
    const std::vector<Reading> readings = TrickyReadings(300);
    std::unique_ptr<ISink> sink = Written("csv:" + path, readings);
    ASSERT_TRUE(sink);
    EXPECT_FALSE(QFile::exists(path));  // not before Finish
    ASSERT_TRUE(sink->Finish());

    QProcess python;
    python.start("python3", {"-c",
                             "import csv, json, sys\n"
                             "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                             "    print(json.dumps(list(csv.reader(f, strict=True))))\n",
                             path});
    ASSERT_TRUE(python.waitForFinished(30000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(rows.size(), qsizetype(readings.size()) + 1);
    QStringList header;
    for (const QJsonValue& v : rows[0].toArray()) {
        header << v.toString();
    }
    EXPECT_EQ(header.join(','),
              "site,uart_id,meter,type,word_a,word_b,level,phase,time,source,family,current_text,"
              "snapshot_text,value,unit");
    for (std::size_t i = 0; i < readings.size(); ++i) {
        QStringList fields;
        for (const QJsonValue& v : rows[qsizetype(i) + 1].toArray()) {
            fields << v.toString();
        }
        ASSERT_EQ(fields.size(), kReadingFieldCount);
        fields[13] = fields[13].isEmpty() ? "NULL" : QString::number(fields[13].toDouble(), 'g', 17);
        EXPECT_EQ(fields, Fields(readings[i])) << i;
    }
}

TEST(FileSinks, JsonLinesReadBackByAJsonParserGiveTheSameValues) {
    QTemporaryDir dir;
    const QString path = dir.filePath("readings.jsonl");
    const std::vector<Reading> readings = TrickyReadings(300);
    std::unique_ptr<ISink> sink = Written("jsonl:" + path, readings);
    ASSERT_TRUE(sink && sink->Finish());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), qsizetype(readings.size()) + 1);  // the last line ends too
    EXPECT_TRUE(lines.back().isEmpty());
    for (std::size_t i = 0; i < readings.size(); ++i) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(lines[qsizetype(i)], &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << i;
        EXPECT_EQ(Fields(document.object()), Fields(readings[i])) << i;
    }
}

TEST(FileSinks, AFileNotFinishedLeavesTheEarlierFileAsItWas) {
    QTemporaryDir dir;
    for (const char* scheme : {"csv:", "jsonl:"}) {
        const QString path = dir.filePath("out");
        QFile earlier(path);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
        earlier.close();
        Written(scheme + path, TrickyReadings(10)).reset();  // closed unfinished: an export cancelled
        ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
        EXPECT_EQ(earlier.readAll(), "earlier") << scheme;
        earlier.close();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"out"});
    }
    QString error;
    EXPECT_FALSE(OpenSink("csv:" + dir.filePath("no/such/dir/out.csv"), error));
    EXPECT_TRUE(error.startsWith("Не удалось создать файл «" + dir.filePath("no/such/dir/out.csv") + "»: "))
        << error.toStdString();
}

}  // namespace
}  // namespace lumvaris::sinks
