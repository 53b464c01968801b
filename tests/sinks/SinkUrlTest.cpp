#include "sinks/SinkUrl.h"

#include <gtest/gtest.h>

namespace lumvaris::sinks {
namespace {

TEST(SinkUrl, EachFormReadsAsItsSinkOrGivesItsMessage) {
    struct Case {
        const char* url;
        const char* parsed;   // kind, path, then the parameters in libpq's order; empty when refused
        const char* message;  // a part of the message when refused
    };
    const Case cases[] = {
        {"sqlite:/var/lib/lumvaris/readings.db", "sqlite /var/lib/lumvaris/readings.db", ""},
        {"sqlite:readings.db", "sqlite readings.db", ""},
        {"csv:/tmp/out file.csv", "csv /tmp/out file.csv", ""},
        {"jsonl:-", "jsonl -", ""},
        {"jsonl:out.jsonl", "jsonl out.jsonl", ""},
        {"postgresql://meter@db.example:5433/readings",
         "postgresql  user=meter dbname=readings host=db.example port=5433 connect_timeout=10 "
         "keepalives_idle=10 keepalives_interval=5 keepalives_count=3 tcp_user_timeout=30000",
         ""},
        {"postgres:///readings?host=/run/postgresql&sslmode=disable&connect_timeout=3",
         "postgresql  connect_timeout=3 dbname=readings host=/run/postgresql sslmode=disable "
         "keepalives_idle=10 keepalives_interval=5 keepalives_count=3 tcp_user_timeout=30000",
         ""},
        {"postgresql://%2Ftmp%2Fpg/r%C3%A9",
         "postgresql  dbname=ré host=/tmp/pg connect_timeout=10 keepalives_idle=10 keepalives_interval=5 "
         "keepalives_count=3 tcp_user_timeout=30000",
         ""},
        {"postgresql://[::1]:5432/readings",
         "postgresql  dbname=readings host=::1 port=5432 connect_timeout=10 keepalives_idle=10 "
         "keepalives_interval=5 keepalives_count=3 tcp_user_timeout=30000",
         ""},
        {"postgresql://meter:secret@db/readings", "", "содержит пароль"},
        {"postgresql://db/readings?password=secret", "", "PGPASSWORD"},
        {"postgresql://db/readings?sslmode=require;x", "", "содержит «;»"},
        {"postgresql://db/readings?nosuch=1", "", "не распознан: invalid URI query parameter: \"nosuch\""},
        {"postgresql://[::1/readings", "",
         "не распознан: end of string reached when looking for matching \"]\""},
        {"mysql://db/readings", "", "Адрес «mysql://db/readings» не распознан. Ожидается sqlite:ФАЙЛ"},
        {"readings.db", "", "не распознан"},
        {"", "", "не указан"},
        {"sqlite:", "", "В адресе «sqlite:» не указан файл."},
        {"csv:-", "", "принимает только jsonl:-"},
        {"postgresql://u@h:notaport/db", "", "порт «notaport» - не число от 1 до 65535"},
        {"postgresql://u@h:70000/db", "", "порт «70000»"},
    };
    const char* kinds[] = {"sqlite", "postgresql", "csv", "jsonl"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        SinkAddress address;
        QString error;
        const bool ok = ParseSinkUrl(QString::fromUtf8(c.url), address, error);
        std::string parsed;
        if (ok) {
            parsed = std::string(kinds[int(address.Kind)]) + " " + address.Path.toStdString();
            for (const auto& [keyword, value] : address.Parameters) {
                parsed += " " + keyword.toStdString() + "=" + value.toStdString();
            }
        }
        EXPECT_EQ(parsed, c.parsed);
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.message))) << error.toStdString();
        EXPECT_EQ(ok, error.isEmpty());
    }
}

}  // namespace
}  // namespace lumvaris::sinks
