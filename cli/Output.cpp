#include "cli/Output.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <unistd.h>

#include <cstdio>

namespace lumvaris::cli {
namespace {

constexpr int kBarWidth = 30;
constexpr qint64 kRedrawMs = 100;

void Write(std::FILE* stream, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

QString Duration(qint64 seconds) {
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

Output::Output(bool json) : json_(json), bar_(!json && isatty(STDERR_FILENO) == 1) {}

void Output::Text(const QString& line) {
    if (!json_) {
        Write(stdout, (line + QLatin1Char('\n')).toUtf8());
    }
}

void Output::Object(const QJsonObject& object) {
    if (json_) {
        Write(stdout, QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
    }
}

void Output::Message(const QString& text) {
    if (barShown_) {
        Write(stderr, "\r\033[K");
        barShown_ = false;
        lastDrawnMs_ = -1000;
    }
    Write(stderr, (text + QLatin1Char('\n')).toUtf8());
}

void Output::Progress(qint64 done, qint64 total) {
    if (!bar_ || total <= 0) {
        return;
    }
    if (!started_.isValid()) {
        started_.start();
    }
    const qint64 now = started_.elapsed();
    if (done < total && now - lastDrawnMs_ < kRedrawMs) {
        return;
    }
    lastDrawnMs_ = now;
    const int filled = static_cast<int>(kBarWidth * done / total);
    QString line = QStringLiteral("\r[") + QString(filled, QLatin1Char('#')) +
                   QString(kBarWidth - filled, QLatin1Char('.')) +
                   QStringLiteral("] %1/%2").arg(done).arg(total);
    if (done > 0 && done < total) {
        line += QCoreApplication::translate("cli::Output", "  осталось %1")
                    .arg(Duration((now * (total - done) / done + 999) / 1000));
    }
    Write(stderr, (line + QStringLiteral("\033[K")).toUtf8());
    barShown_ = true;
}

void Output::EndProgress() {
    if (barShown_) {
        Write(stderr, "\r\033[K");
        barShown_ = false;
    }
    started_.invalidate();
    lastDrawnMs_ = -1000;
}

}  // namespace lumvaris::cli
