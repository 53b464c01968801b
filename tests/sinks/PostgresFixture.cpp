#include "SinkTestSupport.h"

#include <QString>

#include <memory>

namespace lumvaris::sinks::test {

namespace {

std::unique_ptr<PostgresServer> server;

}  // namespace

PostgresServer* Postgres() {
    static const bool started = [] {
        if (PostgresServer::BinDirectory().isEmpty()) {
            return false;
        }
        server = std::make_unique<PostgresServer>();
        QString why;
        // The role for the refused logins: a password is required of it alone.
        if (!server->Start(why, true, {"local all meter scram-sha-256"})) {
            ADD_FAILURE() << "PostgreSQL did not start: " << why.toStdString();
            return false;
        }
        if (!server->Psql("CREATE ROLE meter LOGIN PASSWORD 'secret'", why)) {
            ADD_FAILURE() << "no role: " << why.toStdString();
            return false;
        }
        return true;
    }();
    return started ? server.get() : nullptr;
}

void StopPostgres() {
    server.reset();
}

QString NewPostgresDatabase(PostgresServer& server) {
    static int count = 0;
    const QString name = QStringLiteral("readings_%1").arg(++count);
    QString output;
    EXPECT_TRUE(server.Psql("CREATE DATABASE " + name + " OWNER meter", output)) << output.toStdString();
    return name;
}

}  // namespace lumvaris::sinks::test
