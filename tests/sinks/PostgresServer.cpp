#include "PostgresServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <pwd.h>
#include <unistd.h>

namespace lumvaris::sinks::test {

namespace {

bool AsNobody() {
    return geteuid() == 0;
}

}  // namespace

QString PostgresServer::BinDirectory() {
    for (const QString& version : {QStringLiteral("15"), QStringLiteral("16"), QStringLiteral("17")}) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
        if (QFile::exists(bin + "/initdb") && QFile::exists(bin + "/pg_ctl") &&
            QFile::exists(bin + "/postgres")) {
            return bin;
        }
    }
    return {};
}

bool PostgresServer::Run(const QString& program, const QStringList& arguments, QString& output) const {
    QProcess process;
    process.setWorkingDirectory(dir_.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (AsNobody()) {
        process.start(QStringLiteral("runuser"), QStringList{"-u", "nobody", "--", program} + arguments);
    } else {
        process.start(program, arguments);
    }
    const bool finished = process.waitForFinished(120000);
    output = QString::fromLocal8Bit(process.readAll());
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool PostgresServer::Start(QString& why, bool fast, const QStringList& hba) {
    const QString bin = BinDirectory();
    if (bin.isEmpty() || !dir_.isValid()) {
        why = QStringLiteral("no PostgreSQL server binaries under /usr/lib/postgresql/*/bin");
        return false;
    }
    if (AsNobody()) {
        const passwd* nobody = getpwnam("nobody");
        if (nobody == nullptr ||
            chown(QFile::encodeName(dir_.path()).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
            why = QStringLiteral("cannot hand the directory to nobody");
            return false;
        }
    }
    data_ = dir_.filePath(QStringLiteral("data"));
    QStringList initdb{"-D", data_, "-U", "postgres", "-A", "trust", "-E", "UTF8", "--locale=C"};
    if (fast) {
        initdb << "--no-sync";
    }
    if (!Run(bin + "/initdb", initdb, why)) {
        return false;
    }
    QFile conf(data_ + "/postgresql.conf");
    if (!conf.open(QIODevice::Append)) {
        why = conf.errorString();
        return false;
    }
    conf.write(
        QStringLiteral("listen_addresses = ''\nunix_socket_directories = '%1'\n").arg(dir_.path()).toUtf8());
    if (fast) {
        conf.write("fsync = off\nsynchronous_commit = off\nfull_page_writes = off\n");
    }
    conf.close();
    // Only the socket in the directory: the given lines first, then everyone trusted.
    QFile rules(data_ + "/pg_hba.conf");
    if (!rules.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        rules.write((hba + QStringList{"local all all trust", ""}).join('\n').toUtf8()) < 0) {
        why = rules.errorString();
        return false;
    }
    rules.close();
    // Stops the server when this process ends without stopping it (a crash, a kill).
    const QString runAs = AsNobody() ? QStringLiteral("runuser -u nobody -- ") : QString();
    QProcess::startDetached(
        QStringLiteral("sh"),
        {"-c", QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; "
                              "%2%3/pg_ctl -D '%4' -m immediate stop >/dev/null 2>&1; rm -rf '%5'")
                   .arg(QCoreApplication::applicationPid())
                   .arg(runAs, bin, data_, dir_.path())});
    return Restart() || (why = QStringLiteral("pg_ctl start failed"), false);
}

bool PostgresServer::Restart() {
    QString output;
    running_ =
        Run(BinDirectory() + "/pg_ctl",
            {"-D", data_, "-l", dir_.filePath(QStringLiteral("log")), "-w", "-t", "60", "start"}, output);
    return running_;
}

bool PostgresServer::Stop() {
    QString output;
    const bool stopped = Run(BinDirectory() + "/pg_ctl", {"-D", data_, "-m", "fast", "-w", "stop"}, output);
    running_ = running_ && !stopped;
    return stopped;
}

PostgresServer::~PostgresServer() {
    if (running_) {
        Stop();
    }
}

QString PostgresServer::Url(const QString& database, const QString& user) const {
    return QStringLiteral("postgresql://%1@/%2?host=%3").arg(user, database, dir_.path());
}

bool PostgresServer::Psql(const QString& sql, QString& output, const QString& database) const {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("psql"), {"-h", dir_.path(), "-U", "postgres", "-d", database, "-X", "-A",
                                           "-t", "-v", "ON_ERROR_STOP=1", "-c", sql});
    const bool finished = process.waitForFinished(60000);
    output = QString::fromUtf8(process.readAll()).trimmed();
    return finished && process.exitCode() == 0;
}

}  // namespace lumvaris::sinks::test
