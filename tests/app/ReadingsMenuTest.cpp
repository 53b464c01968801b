// Where the readings go from the window: the export of the port's database through the menu, and
// the central database every filed record also goes to as it arrives.
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "WindowFixture.h"
#include "app/ReadingsMenu.h"
#include "app/RequestStatusView.h"
#include "session/SiteName.h"

namespace lumvaris::testing {
namespace {

class ReadingsMenuTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        Connect(QStringLiteral("ttyS3"));
    }
    void FeedPacket(int meter, std::uint16_t wordA) {
        link::FrameBuffer frame{};
        link::FillHeader(frame, 0x1000 + meter, link::kWorkstationAddress, 6, 0x40);
        link::Payload(frame)[1] = wordA & 0xFF;
        link::Payload(frame)[2] = wordA >> 8;
        link::Payload(frame)[5] = 0x24;
        link::CompleteFrame(frame);
        port_.Feed(std::vector<std::uint8_t>(frame.begin(), frame.begin() + link::FrameLength(frame)));
        timers_.Advance(100);
        clock_.now = clock_.now.addSecs(61);
    }
    static bool PumpUntil(const std::function<bool()>& done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return done();
    }
};

TEST_F(ReadingsMenuTest, TheExportWritesEveryPacketOfThePortToTheFileChosen) {
    for (int meter = 1; meter <= 3; ++meter) {
        FeedPacket(meter, static_cast<std::uint16_t>(100 + meter));
    }
    const QString path = dir_.filePath(QStringLiteral("out.csv"));
    FakeSaveDialog exportDialog;
    exportDialog.path = path;
    window_->Readings().SetExportDialog(&exportDialog);
    F().NMainFileExport->trigger();
    ASSERT_TRUE(PumpUntil([&] { return !window_->Readings().ExportRunning(); }));
    EXPECT_EQ(Status(), QStringLiteral(" Экспортировано записей: 3 в «%1».").arg(path));
    QFile csv(path);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4) << "a header and one line per packet";
    // The site: the port's name and this machine's, as the command line's.
    const QString site = lumvaris::session::DefaultSite(QStringLiteral("ttyS3"));
    EXPECT_TRUE(site.startsWith("ttyS3"));
    EXPECT_TRUE(lines[1].startsWith(("\"" + site + "\",\"2FFF\",1,64,101,0,").toUtf8()))
        << lines[1].toStdString();
    EXPECT_TRUE(messages_.errors.isEmpty()) << messages_.errors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ReadingsMenuTest, EveryRecordFiledAlsoGoesToTheCentralDatabase) {
    const QString file = dir_.filePath(QStringLiteral("central.sqlite"));
    messages_.texts = {QStringLiteral("sqlite:") + file};
    F().NMainOptionsCentralDatabase->trigger();
    F().EditAddress->setText(QStringLiteral("2ABC"));
    FeedPacket(7, 70);
    // A mistyped address is refused and leaves the central database as it was.
    messages_.texts = {QStringLiteral("oracle://nowhere")};
    F().NMainOptionsCentralDatabase->trigger();
    ASSERT_EQ(messages_.errors.size(), 1) << "an address that does not parse";
    FeedPacket(8, 80);
    // Wait for both rows, read by the engine itself.
    auto rows = [&file] {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(file);
        QStringList found;
        if (db.open()) {
            QSqlQuery query(
                QStringLiteral("SELECT site, uart_id, meter, word_a, source FROM readings ORDER BY meter"),
                db);
            while (query.next()) {
                found << QStringLiteral("%1 %2 %3 %4 %5")
                             .arg(query.value(0).toString(), query.value(1).toString(),
                                  query.value(2).toString(), query.value(3).toString(),
                                  query.value(4).toString());
            }
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        return found;
    };
    ASSERT_TRUE(PumpUntil([&] { return rows().size() == 2; })) << rows().join(';').toStdString();
    const QString site = lumvaris::session::DefaultSite(QStringLiteral("ttyS3"));
    EXPECT_EQ(rows(), (QStringList{site + " 2ABC 7 70 live", site + " 2ABC 8 80 live"}));
    EXPECT_EQ(messages_.errors.size(), 1);
}

}  // namespace
}  // namespace lumvaris::testing
