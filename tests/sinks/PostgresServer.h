#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace lumvaris::sinks::test {

// A PostgreSQL server of its own: a new cluster in a temporary directory, reached only through a
// Unix socket in that directory, run as "nobody" when this process is root (initdb refuses root).
// The destructor stops it, and a watchdog process stops it if this process dies first.
class PostgresServer {
  public:
    // The directory of Debian's initdb, pg_ctl and postgres; empty when the server is not installed.
    static QString BinDirectory();

    ~PostgresServer();
    // fast: no fsync (tests); otherwise the server's defaults (benchmarks). The lines of hba come
    // before "local all all trust" in pg_hba.conf.
    bool Start(QString& why, bool fast = true, const QStringList& hba = {});
    bool Stop();
    bool Restart();
    QString SocketDirectory() const { return dir_.path(); }
    QString Url(const QString& database, const QString& user = QStringLiteral("postgres")) const;
    // Runs SQL through psql as the superuser; the output (unaligned, tuples only) or why it failed.
    bool Psql(const QString& sql, QString& output,
              const QString& database = QStringLiteral("postgres")) const;

  private:
    bool Run(const QString& program, const QStringList& arguments, QString& output) const;

    QTemporaryDir dir_{QStringLiteral("/tmp/lumvaris-pg-XXXXXX")};
    QString data_;
    bool running_ = false;
};

}  // namespace lumvaris::sinks::test
